// Rows that workers make for logs in any order, written in the order of the logs, in memory
// that does not grow with the logs.
#include "orderedrows.h"

namespace {
constexpr std::size_t kSlotCost = 256;  // bytes counted for each log taken and not written
constexpr std::size_t kGrowth = 65536;  // bytes of rows a worker may add between two calls
}  // namespace

std::size_t LogRows::Size() const {
    std::size_t size = 0;
    for (const std::string& table : tables) size += table.size();
    return size;
}

OrderedRows::OrderedRows(std::vector<std::ostream*> outputs, std::size_t count,
                         std::size_t heldLimit, Say sayLine)
    : tables(std::move(outputs)), logs(count), limit(heldLimit), say(std::move(sayLine)) {}

bool OrderedRows::Take(std::size_t* log) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(
        lock, [&] { return broken || next == logs || next == first || held + kSlotCost <= limit; });
    if (broken || next == logs) return false;
    *log = next++;
    slots.emplace_back();
    slots.back().held = kSlotCost;
    held += kSlotCost;
    return true;
}

std::size_t OrderedRows::Keep(std::size_t log, LogRows& rows) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        Slot& slot = SlotOf(log);
        std::size_t wanted = kSlotCost + rows.Size() + kGrowth;
        std::size_t more = wanted > slot.held ? wanted - slot.held : 0;
        if (held + more <= limit || broken) {
            held += more;
            slot.held += more;
            return rows.Size() + kGrowth;
        }
        if (log == first) {
            // The first in line never waits: it writes its rows out and goes on, over the limit
            // by one growth at most.
            Write(rows);
            held = held - slot.held + kSlotCost + kGrowth;
            slot.held = kSlotCost + kGrowth;
            changed.notify_all();
            return kGrowth;
        }
        changed.wait(lock);
    }
}

void OrderedRows::Done(std::size_t log, LogRows&& rows, const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex);
    Slot& slot = SlotOf(log);
    slot.done = true;
    slot.message = message;
    if (message.empty()) slot.rows = std::move(rows);
    WriteDone();
    changed.notify_all();
}

bool OrderedRows::Finished(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return AllDone(); });
}

std::size_t OrderedRows::done() const {
    std::lock_guard<std::mutex> lock(mutex);
    return first;
}

bool OrderedRows::failed() const {
    std::lock_guard<std::mutex> lock(mutex);
    return broken;
}

// Writes rows out and empties them (nothing after a failure).
void OrderedRows::Write(LogRows& rows) {
    for (std::size_t t = 0; t < rows.tables.size() && t < tables.size(); ++t) {
        if (tables[t] == nullptr || rows.tables[t].empty() || broken) continue;
        tables[t]->write(rows.tables[t].data(),
                         static_cast<std::streamsize>(rows.tables[t].size()));
        broken = !*tables[t];
        rows.tables[t].clear();
    }
}

// Writes the logs done at the head of the line, in order.
void OrderedRows::WriteDone() {
    while (!slots.empty() && slots.front().done) {
        Slot& slot = slots.front();
        Write(slot.rows);
        if (!slot.message.empty()) say(slot.message);
        held -= slot.held;
        slots.pop_front();
        ++first;
    }
}

bool OrderedRows::AllDone() const {
    return slots.empty() && (next == logs || broken);
}

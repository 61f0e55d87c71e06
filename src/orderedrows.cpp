// Rows that workers make for logs in any order, written in the order of the logs, in memory
// that does not grow with the logs.
#include "orderedrows.h"

namespace {
constexpr std::size_t kSlotCost = 256;  // bytes counted for each log taken and not written
}  // namespace

OrderedRows::OrderedRows(std::vector<std::vector<std::ostream*>> outputs, std::size_t count,
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

void OrderedRows::Add(std::size_t log, std::size_t table, std::string&& rows) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        Slot& slot = SlotOf(log);
        const std::size_t size = rows.capacity();  // the memory it takes
        if (broken) return;
        if (log == first && (slot.writing || held + size > limit)) {
            // The first in line never waits: from here on its rows go straight out.
            WriteHeld(slot);
            Write(table, rows);
            slot.writing = true;
            changed.notify_all();
            return;
        }
        if (held + size <= limit) {
            held += size;
            slot.held += size;
            slot.pieces.emplace_back(table, std::move(rows));
            return;
        }
        changed.wait(lock);
    }
}

void OrderedRows::Done(std::size_t log, const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex);
    Slot& slot = SlotOf(log);
    slot.done = true;
    slot.message = message;
    if (!message.empty()) {  // no row for a log that cannot be read
        held -= slot.held - kSlotCost;
        slot.held = kSlotCost;
        slot.pieces.clear();
    }
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

// Writes rows out, unless a table already failed.
void OrderedRows::Write(std::size_t table, const std::string& rows) {
    if (table >= tables.size() || rows.empty() || broken) return;
    for (std::ostream* out : tables[table]) {
        out->write(rows.data(), static_cast<std::streamsize>(rows.size()));
        broken = broken || !*out;
    }
}

// Writes out and frees the rows a log holds.
void OrderedRows::WriteHeld(Slot& slot) {
    for (const auto& [table, rows] : slot.pieces) Write(table, rows);
    slot.pieces.clear();
    held -= slot.held - kSlotCost;
    slot.held = kSlotCost;
}

// Writes the logs done at the head of the line, in order.
void OrderedRows::WriteDone() {
    while (!slots.empty() && slots.front().done) {
        Slot& slot = slots.front();
        WriteHeld(slot);
        if (!slot.message.empty()) say(slot.message);
        held -= kSlotCost;
        slots.pop_front();
        ++first;
    }
}

bool OrderedRows::AllDone() const {
    return slots.empty() && (next == logs || broken);
}

// A regular log's lines read and parsed ahead by a worker per core, a chunk of the file each,
// and handed over in the file's order.
#include "readahead.h"

#include <sched.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "number.h"
#include "scanner.h"
#include "signals.h"

namespace {
constexpr std::int64_t kDepth = 2;        // chunks in flight for each thread, the taker included
constexpr std::size_t kFirstLook = 4096;  // bytes read past a chunk for its last line's end

// Reads up to `size` bytes at `offset`, again after an interruption or a short read, until the
// file ends: the bytes read, or -1 with errno set.
ssize_t ReadAt(int fd, char* to, std::size_t size, std::int64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = pread(fd, to + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

// Whether two fields hold the same text. Most of a log's columns (pressures, forces, a standing
// train's speed) keep their text from line to line: comparing a whole field costs two loads,
// parsing it a few dozen instructions.
bool SameText(const FieldText& a, const FieldText& b) {
    if (a.length != b.length) return false;
    if (a.length == kRecordSize) return std::memcmp(a.text, b.text, kRecordSize) == 0;
    return std::memcmp(a.text, b.text, a.length) == 0;
}

// A chunk as a worker fills it, and the taker takes it.
struct Slot {
    std::vector<char> bytes;
    std::int64_t from = 0;  // the file offset of bytes[0]
    std::vector<FieldText> fields;
    std::unique_ptr<double[]> numbers;  // room for `room` of them, not cleared
    std::size_t room = 0;
    ParsedChunk chunk;
    bool ready = false;  // filled, not yet given back by the taker

    const char* At(std::int64_t offset) const { return bytes.data() + (offset - from); }
    // The first line feed in the file's bytes [begin, end) as read, or -1.
    std::int64_t FirstLineFeed(std::int64_t begin, std::int64_t end) const {
        if (end <= begin) return -1;
        const void* lf = memchr(At(begin), '\n', static_cast<std::size_t>(end - begin));
        return lf ? from + (static_cast<const char*>(lf) - bytes.data()) : -1;
    }
    std::int64_t LastLineFeed(std::int64_t begin, std::int64_t end) const {
        if (end <= begin) return -1;
        const void* lf = memrchr(At(begin), '\n', static_cast<std::size_t>(end - begin));
        return lf ? from + (static_cast<const char*>(lf) - bytes.data()) : -1;
    }
};

// Keeps each line's fields in a slot.
class SlotSink : public LineSink {
  public:
    SlotSink(Slot& slot, std::size_t columns) : slot(slot), columns(columns) {}
    void OnLine(const FieldText* texts) override {
        for (std::size_t i = 0; i < columns; ++i) slot.fields.push_back(texts[i]);
    }

  private:
    Slot& slot;
    std::size_t columns;
};
}  // namespace

unsigned UsableCores() {
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof cores, &cores) == 0) return std::max(1, CPU_COUNT(&cores));
    return std::max(1u, std::thread::hardware_concurrency());
}

struct ReadAhead::Shared {
    int fd;
    std::int64_t size;
    std::vector<int> columns;
    std::int64_t chunkSize;
    std::int64_t chunks;
    std::vector<Slot> slots;  // chunk c goes into slot c % slots.size()
    std::vector<std::thread> threads;
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;
    std::int64_t claimed = 0;         // chunks claimed by a worker or the taker, in order
    std::int64_t released = 0;        // chunks the taker is done with: their slots are free
    std::int64_t lastAt = INT64_MAX;  // the first chunk filled that ends reading ahead
    // The taker's.
    std::int64_t next = 0;  // the chunk to take next
    bool holds = false;     // it holds chunk next - 1
    bool ended = false;

    Slot& SlotOf(std::int64_t chunk) {
        return slots[static_cast<std::size_t>(chunk % static_cast<std::int64_t>(slots.size()))];
    }
    void Work();
    void Fill(std::int64_t chunk, Slot& slot, bool parse);
    void Stop();
};

// Claims the next chunk whose slot is free and fills it, until none is left or one ended
// reading ahead.
void ReadAhead::Shared::Work() {
    const auto room = static_cast<std::int64_t>(slots.size());
    for (;;) {
        std::int64_t chunk;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock,
                         [&] { return stop || claimed >= chunks || claimed < released + room; });
            if (stop || claimed >= chunks || claimed > lastAt) return;
            chunk = claimed++;
        }
        Slot& slot = SlotOf(chunk);
        Fill(chunk, slot, true);
        {
            std::lock_guard<std::mutex> lock(mutex);
            slot.ready = true;
            if (slot.chunk.last || slot.chunk.error != 0) lastAt = std::min(lastAt, chunk);
        }
        changed.notify_all();
    }
}

// Reads chunk `chunk` with the byte before it, finds the lines that start in it and reads on to
// the end of its last one, then cuts and parses their fields. A line starts at the first data
// byte (after the header) and after each line feed.
void ReadAhead::Shared::Fill(std::int64_t chunk, Slot& slot, bool parse) {
    const std::int64_t start = chunk * chunkSize;
    const std::int64_t from = chunk == 0 ? 0 : start - 1;
    std::int64_t stretchEnd = std::min(start + chunkSize, size);
    ParsedChunk& out = slot.chunk;
    out = ParsedChunk();
    slot.fields.clear();
    slot.from = from;
    slot.bytes.resize(static_cast<std::size_t>(stretchEnd - from));
    ssize_t got = ReadAt(fd, slot.bytes.data(), slot.bytes.size(), from);
    if (got < 0) {
        out.error = errno;
        return;
    }
    // A file cut since its size was taken: the lines read here are taken, the rest one by one.
    std::int64_t have = from + got;
    out.last = have < stretchEnd;
    stretchEnd = std::min(stretchEnd, have);
    std::int64_t first = kHeaderSize;
    if (chunk > 0) {
        std::int64_t lf = slot.FirstLineFeed(start - 1, stretchEnd - 1);
        first = lf < 0 ? stretchEnd : lf + 1;
        // No line starts here: one is longer than a chunk. Reading ahead ends before it.
        if (lf < 0) out.last = true;
    }
    if (first >= stretchEnd) {
        out.last = true;
        if (chunk == 0) out.end = std::min<std::int64_t>(have, kHeaderSize);
        out.bytes = slot.bytes.data();
        return;
    }
    // The last line starting here ends at the first line feed from the chunk's last byte on.
    std::int64_t lastStart = slot.LastLineFeed(first - 1, stretchEnd - 1) + 1;
    if (lastStart <= 0) lastStart = first;
    std::int64_t end = slot.FirstLineFeed(stretchEnd - 1, have) + 1;
    for (std::size_t look = kFirstLook; end <= 0 && !out.last; look *= 2) {
        // Read on, a little at first, up to a chunk's length past it.
        std::size_t had = slot.bytes.size();
        std::size_t more = std::min<std::size_t>(look, static_cast<std::size_t>(chunkSize));
        slot.bytes.resize(had + more);
        got = ReadAt(fd, slot.bytes.data() + had, more, from + static_cast<std::int64_t>(had));
        if (got < 0) {
            out.error = errno;
            return;
        }
        slot.bytes.resize(had + static_cast<std::size_t>(got));
        end =
            slot.FirstLineFeed(from + static_cast<std::int64_t>(had), from + slot.bytes.size()) + 1;
        // The file's end (a last line without its line feed yet), or a line longer than a chunk.
        bool over = static_cast<std::int64_t>(slot.bytes.size()) > stretchEnd - from + chunkSize;
        if (end <= 0 && (static_cast<std::size_t>(got) < more || over)) out.last = true;
    }
    if (end <= 0) end = lastStart;
    out.begin = chunk == 0 ? 0 : first;
    out.linesBegin = first;
    out.end = end;
    out.bytes = slot.At(out.begin);
    out.parsed = parse;
    if (!parse) return;
    ColumnScanner scanner(columns);
    SlotSink sink(slot, columns.size());
    // Room for lines as short as the simulator's, so that the sink seldom grows it.
    const std::size_t room = static_cast<std::size_t>(end - first) / 128 * columns.size();
    if (slot.fields.capacity() < room) slot.fields.reserve(room);
    scanner.Feed(slot.At(first), static_cast<std::size_t>(end - first), sink);
    // The numbers after the lines, in a loop of their own: one field's parse need not wait on
    // another's. A field whose text is the line before's has its number.
    const std::size_t width = columns.size();
    if (slot.room < slot.fields.size()) {
        slot.room = slot.fields.capacity();
        slot.numbers = std::make_unique<double[]>(slot.room);
    }
    for (std::size_t i = 0; i < slot.fields.size(); ++i) {
        const FieldText& field = slot.fields[i];
        slot.numbers[i] = i >= width && SameText(field, slot.fields[i - width])
                              ? slot.numbers[i - width]
                              : ParseNumber(field.text, field.length);
    }
    out.lines = static_cast<std::size_t>(scanner.lines());
    out.fields = slot.fields.data();
    out.numbers = slot.numbers.get();
}

void ReadAhead::Shared::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    changed.notify_all();
    for (std::thread& thread : threads) thread.join();
    threads.clear();
}

ReadAhead::ReadAhead(int fd, std::int64_t size, const std::vector<int>& columns, unsigned workers,
                     std::size_t chunk)
    : shared(std::make_unique<Shared>()) {
    Shared& s = *shared;
    s.fd = fd;
    s.size = size;
    s.columns = columns;
    // A chunk holds more than the header, so that the first ends past it.
    s.chunkSize = static_cast<std::int64_t>(std::max<std::size_t>(chunk, 2 * kHeaderSize));
    s.chunks = (size + s.chunkSize - 1) / s.chunkSize;
    // The taker is one of the workers: it fills a chunk no thread has claimed yet itself.
    const std::int64_t threads = std::min<std::int64_t>(workers, s.chunks) - 1;
    s.slots.resize(static_cast<std::size_t>((threads + 1) * kDepth));
    StartThreadsWithoutSignals([&s, threads] {
        try {
            while (static_cast<std::int64_t>(s.threads.size()) < threads)
                s.threads.emplace_back(&Shared::Work, &s);
        } catch (const std::system_error&) {  // no more threads: those started share the work
        }
    });
}

ReadAhead::~ReadAhead() {
    shared->Stop();
}

bool ReadAhead::started() const {
    return !shared->threads.empty();
}

bool ReadAhead::Next(ParsedChunk* chunk) {
    Shared& s = *shared;
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.holds) {
        s.released = s.next;
        s.holds = false;
        s.changed.notify_all();
    }
    if (s.ended || s.next >= s.chunks) return false;
    const std::int64_t taking = s.next++;
    Slot& slot = s.SlotOf(taking);
    if (s.claimed == taking) {  // no worker has come to it: read here, its lines left to scan
        s.claimed = taking + 1;
        lock.unlock();
        s.Fill(taking, slot, false);
        lock.lock();
    } else {
        s.changed.wait(lock, [&] { return slot.ready; });
    }
    slot.ready = false;
    s.holds = true;
    *chunk = slot.chunk;
    s.ended = chunk->last || chunk->error != 0;
    if (s.ended) s.lastAt = std::min(s.lastAt, taking);
    return true;
}

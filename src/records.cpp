// Reading records back from the temporary files: one by number, or many in order.
#include "records.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "globals.h"
#include "logformat.h"
#include "number.h"
#include "tempfiles.h"

namespace {
constexpr std::size_t kBlockSize = 1 << 18;  // bytes read at once

// A record's number: its text up to a line feed, as atof reads it.
double ParseRecord(const char* field, std::size_t size) {
    const void* lf = std::memchr(field, '\n', size);
    return ParseNumber(field, lf ? static_cast<const char*>(lf) - field : size);
}

double ReadRecord(const char* path, int record) {
    if (record < 1) return 0.0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0.0;
    char field[kRecordSize];
    ssize_t got = pread(fd, field, sizeof field, (static_cast<off_t>(record) - 1) * kRecordSize);
    close(fd);
    return got <= 0 ? 0.0 : ParseRecord(field, static_cast<std::size_t>(got));
}

// The time column's file: the samples' own when they are the time column.
const char* TimeColumnPath() {
    return TimePath()[0] != '\0' ? TimePath() : TempPath();
}
}  // namespace

double czytaj(int record) {
    return ReadRecord(TempPath(), record);
}

double RecordTime(int record) {
    return ReadRecord(TimeColumnPath(), record);
}

RecordStream::RecordStream(const char* path, std::int64_t first)
    : fd(open(path, O_RDONLY | O_CLOEXEC)) {
    if (fd >= 0)
        lseek(fd, static_cast<off_t>(std::max<std::int64_t>(first, 1) - 1) * kRecordSize, SEEK_SET);
}

RecordStream::~RecordStream() {
    if (fd >= 0) close(fd);
}

double RecordStream::Next() {
    if (block.size() - at < kRecordSize) Refill();
    if (at >= block.size()) return 0.0;
    std::size_t size = std::min<std::size_t>(kRecordSize, block.size() - at);
    double sample = ParseRecord(block.data() + at, size);
    at += size;
    return sample;
}

// Keeps what is left of the block and reads on until it holds a whole record, or the file ends.
void RecordStream::Refill() {
    block.erase(0, at);
    at = 0;
    std::size_t have = block.size();
    block.resize(kBlockSize / kRecordSize * kRecordSize);
    while (fd >= 0 && have < kRecordSize) {
        ssize_t got = read(fd, &block[have], block.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        have += static_cast<std::size_t>(got);
    }
    block.resize(have);
}

void ForEachRecord(std::int64_t first, std::int64_t last,
                   const std::function<void(std::int64_t, double, double)>& visit) {
    first = std::max<std::int64_t>(first, 1);
    last = std::min<std::int64_t>(last, iFc);
    RecordStream samples(TempPath(), first), times(TimeColumnPath(), first);
    for (std::int64_t record = first; record <= last; ++record) {
        double time = times.Next();
        visit(record, time, samples.Next());
    }
}

std::int64_t FirstRecordAt(double seconds, std::int64_t first) {
    RecordStream times(TimeColumnPath(), first);
    for (std::int64_t record = first; record <= iFc; ++record)
        if (times.Next() >= seconds) return record;
    return 0;
}

RecordSpan RecordsUpTo(std::int64_t first, double seconds) {
    if (first < 1 || first > iFc) return {};
    RecordStream times(TimeColumnPath(), first + 1);
    std::int64_t last = first;
    while (last < iFc && !(times.Next() > seconds)) ++last;
    return {first, last};
}

std::int64_t StartAt(double seconds) {
    std::int64_t record = FirstRecordAt(seconds);
    return record != 0 ? record : static_cast<std::int64_t>(iFc) + 1;
}

// Reading records back from the temporary files, one by number or many in order, and the sample
// window filled and slid over them.
#include "records.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "globals.h"
#include "kolejka.h"
#include "number.h"
#include "scanner.h"

namespace {
// A record's number: its text up to a line feed, as atof reads it.
double ParseRecord(const char* field, std::size_t size) {
    const void* lf = std::memchr(field, '\n', size);
    return ParseNumber(field, lf ? static_cast<const char*>(lf) - field : size);
}

double ReadRecord(int fd, int record) {
    if (record < 1 || fd < 0) return 0.0;
    char field[kRecordSize];
    ssize_t got = pread(fd, field, sizeof field, (static_cast<off_t>(record) - 1) * kRecordSize);
    return got <= 0 ? 0.0 : ParseRecord(field, static_cast<std::size_t>(got));
}

// The time column's file: the chart's own when it is the time column.
int TimeFile() {
    return timeRecordsFd >= 0 ? timeRecordsFd : sampleRecordsFd;
}
}  // namespace

double czytaj(int record) {
    return ReadRecord(sampleRecordsFd, record);
}

double RecordTime(int record) {
    return ReadRecord(TimeFile(), record);
}

// A first record past any file (--start INT64_MAX / 16) starts past the end, its byte offset
// kept from overflowing.
RecordStream::RecordStream(int fd, std::int64_t first, std::int64_t last)
    : fd(fd),
      offset((std::clamp<std::int64_t>(first, 1, INT64_MAX / kRecordSize) - 1) * kRecordSize),
      end(std::clamp<std::int64_t>(last, 0, INT64_MAX / kRecordSize) * kRecordSize) {}

double RecordStream::Next() {
    std::string_view text = NextText();  // a record holds no line feed: its field, then blanks
    return ParseNumber(text.data(), text.size());
}

std::string_view RecordStream::NextText() {
    if (block.size() - at < kRecordSize) Refill();
    std::size_t size = std::min<std::size_t>(kRecordSize, block.size() - at);
    std::string_view text(block.data() + at, size);
    at += size;
    return text;
}

// Keeps what is left of the block and reads on until it holds a whole record, or the file ends.
void RecordStream::Refill() {
    block.erase(0, at);
    at = 0;
    if (ended) return;  // past the end, every record reads as nothing at once
    std::size_t have = block.size();
    // A block, or what is left up to `end` when that is less (a record at least).
    std::int64_t left = std::max<std::int64_t>(end - offset, kRecordSize);
    block.resize(std::min<std::int64_t>(kBlockSize / kRecordSize * kRecordSize, have + left));
    while (have < kRecordSize && !ended) {
        ssize_t got = fd < 0 ? 0 : pread(fd, &block[have], block.size() - have, offset);
        if (got < 0 && errno == EINTR) continue;
        ended = got <= 0;
        if (got > 0) have += static_cast<std::size_t>(got);
        offset += std::max<ssize_t>(got, 0);
    }
    block.resize(have);
}

void ForEachRow(const std::vector<int>& files, RecordSpan span,
                const std::function<void(std::int64_t record, const double* values)>& visit) {
    std::int64_t first = std::max<std::int64_t>(span.first, 1);
    std::vector<RecordStream> streams;
    for (int fd : files) streams.emplace_back(fd, first, span.last);
    std::vector<double> values(files.size());
    for (std::int64_t record = first; record <= span.last; ++record) {
        for (std::size_t i = 0; i < streams.size(); ++i) values[i] = streams[i].Next();
        visit(record, values.data());
    }
}

std::int64_t FirstRecordAt(double seconds, std::int64_t first) {
    if (TimeFile() < 0) return 0;  // no records kept
    RecordStream times(TimeFile(), first);
    for (std::int64_t record = first; record <= iFc; ++record)
        if (times.Next() >= seconds) return record;
    return 0;
}

RecordSpan RecordsUpTo(std::int64_t first, double seconds) {
    if (first < 1 || first > iFc) return {};
    RecordStream times(TimeFile(), first + 1);
    std::int64_t last = first;
    while (last < iFc && !(times.Next() > seconds)) ++last;
    return {first, last};
}

std::int64_t StartAt(double seconds) {
    std::int64_t record = FirstRecordAt(seconds);
    return record != 0 ? record : static_cast<std::int64_t>(iFc) + 1;
}

std::int64_t OpeningRecord(std::int64_t start) {
    return 1 + std::min<std::int64_t>(start - 1, std::max(0, iFc - iscrWidth));
}

void FillWindowAt(kolejka& window, std::int64_t start) {
    RefillWindow(window, OpeningRecord(start));
}

void RefillWindow(kolejka& window, std::int64_t first) {
    RecordStream samples(sampleRecordsFd, first);
    for (std::int64_t record = first; record < first + iscrWidth; ++record)
        window.push_back(record <= iFc ? samples.Next() : 0.0);
    isFp = static_cast<int>(first);
    ieFp = isFp + iscrWidth - 1;
}

void AddToQueue(kolejka& window, int count, int direction) {
    if (direction != 0 && direction != 1) return;
    for (int step = 0; step < count; ++step) {
        if (direction == 1) {
            // At or past the last record; past it only after filling from a short log.
            if (ieFp >= iFc) return;
            ++isFp;
            ++ieFp;
            window.push_back(czytaj(ieFp));
        } else {
            if (isFp <= 1) return;
            --isFp;
            --ieFp;
            window.push_front(czytaj(isFp));
        }
    }
}

void GetValue(kolejka& window, int column) {
    window.reset_iter();
    for (int i = 0; i <= column; ++i) value = window.k_get();
}

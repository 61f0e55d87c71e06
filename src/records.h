// Reading records back from the temporary files: one by number, or many in order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The value of record `record` (1-based) of the temporary file; 0.0 for a record that is not
// there or cannot be read. Opens the file anew for every read.
double czytaj(int record);

// The time of record `record` (1-based) from the time column, in seconds; 0.0 as czytaj gives it
// for a record that is not there.
double RecordTime(int record);

// Reads the records of a temporary file in order from record `first` on, in large blocks, for
// passes over a whole column.
class RecordStream {
  public:
    RecordStream(const char* path, std::int64_t first);
    ~RecordStream();
    RecordStream(const RecordStream&) = delete;
    RecordStream& operator=(const RecordStream&) = delete;
    // The next record's value, as czytaj reads it; 0.0 past the end.
    double Next();

  private:
    void Refill();

    int fd;
    std::string block;
    std::size_t at = 0;  // offset of the next record in block
};

// A run of records: first .. last (1-based), none when first > last.
struct RecordSpan {
    std::int64_t first = 1, last = 0;
};

// Calls visit(record, time, sample) for the records first .. last that the log has, in order,
// reading both temporary files in large blocks.
void ForEachRecord(std::int64_t first, std::int64_t last,
                   const std::function<void(std::int64_t, double, double)>& visit);

// The first record at or after `first` whose time is at least `seconds`, or 0 when none is.
std::int64_t FirstRecordAt(double seconds, std::int64_t first = 1);

// From record `first` up to, not including, the first later record whose time is above
// `seconds`; none when the log has no record `first`.
RecordSpan RecordsUpTo(std::int64_t first, double seconds);

// The record to open at for --at `seconds`: the first whose time is at least `seconds`, or, when
// none is, one past the last (so that the window opens on the last full screen).
std::int64_t StartAt(double seconds);

// Reading records back from the temporary files: one by number, or many in order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Makes czytaj, RecordTime and the readers below without a file of their own read these
// temporary files: the chart's samples and the times (-1: the samples are the times). The
// readers keep duplicates of the descriptors, so that the files read on even when their names
// are removed (a cleaner of the temporary folder) and after their extraction has ended.
void UseRecordFiles(int samples, int times);
// The descriptors the readers read; -1 while there is none.
int SampleFile();
int TimeFile();

// The value of record `record` (1-based) of the temporary file; 0.0 for a record that is not
// there or cannot be read.
double czytaj(int record);

// The time of record `record` (1-based) from the time column, in seconds; 0.0 as czytaj gives it
// for a record that is not there.
double RecordTime(int record);

// Reads the records of the temporary file open on `fd` in order from record `first` on, in
// large blocks, for passes over a whole column.
class RecordStream {
  public:
    RecordStream(int fd, std::int64_t first);
    // The next record's value, as czytaj reads it; 0.0 past the end.
    double Next();
    // The next record's bytes ("" past the end), valid until the next call.
    std::string_view NextText();

  private:
    void Refill();

    int fd;
    std::int64_t offset;  // of the file's next byte to read into block
    bool ended = false;   // the file has no more bytes
    std::string block;
    std::size_t at = 0;  // offset of the next record in block
};

// A run of records: first .. last (1-based), none when first > last.
struct RecordSpan {
    std::int64_t first = 1, last = 0;
};

// Calls visit(record, time, sample) for the records first .. last that the log has, in order,
// reading both temporary files (as UseRecordFiles set them) in large blocks.
void ForEachRecord(std::int64_t first, std::int64_t last,
                   const std::function<void(std::int64_t, double, double)>& visit);

// Calls visit(record, values) for the records span.first .. span.last of the temporary files
// `files`, read in step in large blocks: values[i] is the record's value in files[i] (0.0 past a
// file's end, as czytaj reads it). The caller bounds the span by the files' records.
void ForEachRow(const std::vector<int>& files, RecordSpan span,
                const std::function<void(std::int64_t record, const double* values)>& visit);

// The first record at or after `first` whose time is at least `seconds`, or 0 when none is.
std::int64_t FirstRecordAt(double seconds, std::int64_t first = 1);

// From record `first` up to, not including, the first later record whose time is above
// `seconds`; none when the log has no record `first`.
RecordSpan RecordsUpTo(std::int64_t first, double seconds);

// The record to open at for --at `seconds`: the first whose time is at least `seconds`, or, when
// none is, one past the last (so that the window opens on the last full screen).
std::int64_t StartAt(double seconds);

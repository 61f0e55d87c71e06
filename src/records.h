// Reading records back from the temporary files, one by number or many in order, and the sample
// window filled and slid over them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class kolejka;

// The value of record `record` (1-based) of the chart's temporary file (sampleRecordsFd); 0.0 for
// a record that is not there or cannot be read.
double czytaj(int record);

// The time of record `record` (1-based) from the time column's file, in seconds; 0.0 as czytaj
// gives it for a record that is not there.
double RecordTime(int record);

// Reads the records of the temporary file open on `fd` in order from record `first` on, in
// large blocks, for passes over a whole column; no further than record `last` when given, so that
// a short stretch reads no more than itself.
class RecordStream {
  public:
    RecordStream(int fd, std::int64_t first, std::int64_t last = INT64_MAX);
    // The next record's value, as czytaj reads it; 0.0 past the end.
    double Next();
    // The next record's bytes ("" past the end), valid until the next call.
    std::string_view NextText();

  private:
    void Refill();

    int fd;
    std::int64_t offset;  // of the file's next byte to read into block
    std::int64_t end;     // of the byte after record `last`
    bool ended = false;   // the file has no more bytes
    std::string block;
    std::size_t at = 0;  // offset of the next record in block
};

// A run of records: first .. last (1-based), none when first > last.
struct RecordSpan {
    std::int64_t first = 1, last = 0;
};

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

// The first record of the window that FillWindowAt(window, start) fills.
std::int64_t OpeningRecord(std::int64_t start);

// Fills an empty window where `start` - 1 presses of Right after the initial fill (records 1 to
// iscrWidth) would leave it: its first record becomes OpeningRecord(start) = 1 + min(start - 1,
// max(0, iFc - iscrWidth)). Reads only the records it shows, 0.0 past the end of the file; from
// record 1 it is the initial fill, after which ieFp is iscrWidth.
void FillWindowAt(kolejka& window, std::int64_t start);

// Replaces the window's samples with records first .. first + iscrWidth - 1 (0.0 past iFc), read
// in one pass however far the window jumps, and makes them isFp .. ieFp.
void RefillWindow(kolejka& window, std::int64_t first);

// Slides the window by up to count records: direction 1 toward later records, 0 toward earlier
// ones, anything else not at all. Stops at the first record and at the last one, keeping isFp
// and ieFp on the window's ends.
void AddToQueue(kolejka& window, int count, int direction);

// Sets value to the window's sample in screen column `column` (0 = record isFp).
void GetValue(kolejka& window, int column);

// The log's column extraction into the temporary files, which goes on while a followed log
// grows, and the record reading that fills and slides the sample window.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class kolejka;

// Log layout: a header, then lines of fixed-width columns whose first 23 characters are the
// field. The temporary file holds one 23-byte record per data line, with no separators.
constexpr int kHeaderSize = 247;  // bytes
constexpr int kColumnWidth = 24;  // characters
constexpr int kRecordSize = 23;   // bytes; also the width of a field

// What atof gives for the text of length characters at text (up to a NUL, if any):
// leading blanks, a sign, decimal or hexadecimal numbers, inf and nan, a partial number, and
// 0.0 for text that does not begin with a number. Fast: no locale, no allocation.
double ParseNumber(const char* text, std::size_t length);

// The shortest text that reads back as exactly `number` ("0.1", "1e-07", "280.25").
std::string ExactText(double number);

// The smallest and largest finite sample of a column and the records they first occur in
// (1-based; 0 when the column has no finite sample).
struct SampleRange {
    double minimum = 0.0, maximum = 0.0;
    std::int64_t minimumRecord = 0, maximumRecord = 0;
};

// Cuts column `column` (1-based), and column `second` when it is another one, out of a stream of
// data lines, one record per line into `out` (and `secondOut`). Bytes may arrive in pieces of
// any size. A line without a column gives a blank record (0.0); an empty line (nothing, or only a
// carriage return, before its line feed) gives none; every record is padded with spaces to 23
// bytes, so record k is always data line k.
class ColumnScanner {
  public:
    explicit ColumnScanner(int column, int second = 0);
    // Appends a record for each line that ends within data.
    void Feed(const char* data, std::size_t size, std::string& out,
              std::string* secondOut = nullptr);
    // Ends a last line that has no line feed.
    void Finish(std::string& out, std::string* secondOut = nullptr);

    std::int64_t records() const { return count; }
    // The finite sample of largest magnitude of `column`, with its sign; the first one wins a tie.
    double extreme() const { return largest; }
    const SampleRange& range() const { return sampleRange; }

  private:
    // The bytes of one column's field seen so far in the current line.
    struct Field {
        std::int64_t start = 0;  // offset in the line, bytes
        char bytes[kRecordSize] = {};
        int length = 0;
    };
    void Take(const char* bytes, std::size_t size);
    void WholeLine(const char* line, std::size_t length, std::string& out, std::string* secondOut);
    void EndLine(std::string& out, std::string* secondOut);
    void Emit(const char* first, std::size_t firstSize, const char* second, std::size_t secondSize,
              std::string& out, std::string* secondOut);
    void Note(double sample);

    Field fields[2];
    int fieldCount = 1;
    std::int64_t lineLength = 0;  // bytes of the current line seen so far
    char firstByte = 0;           // of the current line
    std::int64_t count = 0;
    double largest = 0.0;
    SampleRange sampleRange;
};

constexpr int kTimeColumn = 1;  // the simulator's clock, in seconds

// What a call to LogExtraction::Follow did.
struct FollowResult {
    bool startedOver = false;  // the log was truncated or replaced: the records are the new log's
    bool stopped = false;      // a failure stopped following; the records taken stay
};

// The extraction of column `column` (at least 1) of a log into a new temporary file, and of the
// time column into a second one in the same pass (the same file for column 1), kept so that it
// can go on while the log grows: the log open with its offset, the scanner's state, the header
// still to skip, both files appended in step. The temporary files outlive it (RemoveTempFile
// removes them).
class LogExtraction {
  public:
    LogExtraction(const char* logName, int column);
    ~LogExtraction();
    LogExtraction(const LogExtraction&) = delete;
    LogExtraction& operator=(const LogExtraction&) = delete;

    // Extracts the log as it is now and adds its records to iFc. When `follow`, only lines ended
    // by a line feed count (the rest waits for Follow), a FIFO gives what it holds now, and the
    // log stays open; otherwise a last line without its line feed counts too and all is closed.
    // False with one line in error, and no temporary file left.
    bool Start(bool follow, std::string& error);

    // Takes the complete lines the log has gained into the temporary files and iFc, until it has
    // caught up or `deadline` has passed (after one block of the log at least); the next call
    // goes on from there. A log that no longer holds the last bytes read before its offset
    // (truncated, or rewritten in place, however far), or another file at its path, starts
    // over: iFc goes back to 0 and the temporary files are emptied and refilled from the new
    // log. While the path names no file (a missing name along it), nothing changes. On a failure
    // following stops, the temporary files keep the iFc records taken, and error holds one line;
    // a path naming a file that cannot be opened is such a failure.
    FollowResult Follow(std::chrono::steady_clock::time_point deadline, std::string& error);

    // Started with `follow` and not stopped since.
    bool following() const;
    // The finite sample of largest magnitude of the records counted in iFc, with its sign (0.0
    // when none), and their range.
    double extreme() const;
    const SampleRange& range() const;

  private:
    struct State;
    std::unique_ptr<State> state;
};

// Runs a LogExtraction once to the log's end: adds the number of records to iFc and returns the
// extreme sample (0.0 when there is none); `range`, when given, gets the column's smallest and
// largest samples. On failure error holds one line naming what failed and why, and no temporary
// file is left.
double MakeTempFile(const char* logName, int column, std::string& error,
                    SampleRange* range = nullptr);

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

// The first record of the window that FillWindowAt(window, start) fills.
std::int64_t OpeningRecord(std::int64_t start);

// Fills the window with records 1 to iscrWidth, 0.0 past the end of the file; ieFp ends as
// iscrWidth.
void FillWindow(kolejka& window);

// Fills an empty window where `start` - 1 presses of Right after FillWindow would leave it: its
// first record becomes OpeningRecord(start) = 1 + min(start - 1, max(0, iFc - iscrWidth)). Reads
// only the records it shows; from record 1 it is FillWindow.
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

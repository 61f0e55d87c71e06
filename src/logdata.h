// The log's column extraction into the temporary file, and the record reading that fills and
// slides the sample window.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Cuts column `column` (1-based) out of a stream of data lines, one record per line. Bytes may
// arrive in pieces of any size. A line without that column gives a blank record (0.0); an empty
// line (nothing, or only a carriage return, before its line feed) gives none; every record is
// padded with spaces to 23 bytes, so record k is always data line k.
class ColumnScanner {
  public:
    explicit ColumnScanner(int column);
    // Appends a record to out for each line that ends within data.
    void Feed(const char* data, std::size_t size, std::string& out);
    // Ends a last line that has no line feed.
    void Finish(std::string& out);

    std::int64_t records() const { return count; }
    // The finite sample of largest magnitude, with its sign; the first one wins a tie.
    double extreme() const { return largest; }

  private:
    void Take(const char* bytes, std::size_t size);
    void EndLine(std::string& out);

    std::int64_t fieldStart;       // offset of the field in its line, bytes
    std::int64_t lineLength = 0;   // bytes of the current line seen so far
    char firstByte = 0;            // of the current line
    char field[kRecordSize] = {};  // the field's bytes seen so far
    int fieldLength = 0;
    std::int64_t count = 0;
    double largest = 0.0;
};

// Extracts column `column` (at least 1) of the log into a new temporary file, adds the number
// of records to iFc and returns the extreme sample (0.0 when there is none). On failure error
// holds one line naming what failed and why, and no temporary file is left.
double MakeTempFile(const char* logName, int column, std::string& error);

// The value of record `record` (1-based) of the temporary file; 0.0 for a record that is not
// there or cannot be read. Opens the file anew for every read.
double czytaj(int record);

// Fills the window with records 1 to iscrWidth, 0.0 past the end of the file; ieFp ends as
// iscrWidth.
void FillWindow(kolejka& window);

// Fills an empty window where `start` - 1 presses of Right after FillWindow would leave it: its
// first record becomes 1 + min(start - 1, max(0, iFc - iscrWidth)). Reads only the records it
// shows; from record 1 it is FillWindow.
void FillWindowAt(kolejka& window, std::int64_t start);

// Slides the window by up to count records: direction 1 toward later records, 0 toward earlier
// ones, anything else not at all. Stops at the first record and at the last one, keeping isFp
// and ieFp on the window's ends.
void AddToQueue(kolejka& window, int count, int direction);

// Sets value to the window's sample in screen column `column` (0 = record isFp).
void GetValue(kolejka& window, int column);

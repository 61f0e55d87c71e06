// Cutting columns out of a log's data lines into fixed-width records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "logformat.h"

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

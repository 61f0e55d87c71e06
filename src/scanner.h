// Cutting columns out of a log's data lines, which may arrive in pieces of any size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A header, then lines of fixed-width columns whose first 23 characters are the field. The
// temporary file holds one 23-byte record per data line, with no separators.
constexpr int kHeaderSize = 247;  // bytes
constexpr int kColumnWidth = 24;  // characters
constexpr int kRecordSize = 23;   // bytes; also the width of a field

constexpr int kTimeColumn = 1;  // the simulator's clock, in seconds

// Bytes read from a log or a temporary file, and written to one, at once.
constexpr std::size_t kBlockSize = 1 << 18;

// A column's field in one line: up to kRecordSize bytes, fewer where the line ends first, none
// where the line is too short for the column.
struct FieldText {
    const char* text;
    std::size_t length;
};

// Takes the fields of each data line, in the order of the scanner's columns.
class LineSink {
  public:
    virtual void OnLine(const FieldText* fields) = 0;

  protected:
    virtual ~LineSink() = default;
};

// Cuts the fields of `columns` (1-based, any order, repeats allowed) out of a stream of data
// lines and hands each line's fields to a sink. An empty line (nothing, or only a carriage
// return, before its line feed) gives none, so that record k is always data line k.
class ColumnScanner {
  public:
    explicit ColumnScanner(const std::vector<int>& columns);
    // Hands over the fields of each line that ends within data.
    void Feed(const char* data, std::size_t size, LineSink& sink);
    // Ends a last line that has no line feed.
    void Finish(LineSink& sink);

    // The lines handed over so far.
    std::int64_t lines() const { return count; }

  private:
    // The bytes of one column's field seen so far in the current line, kept while a line
    // arrives in pieces.
    struct Field {
        std::int64_t start = 0;  // offset in the line, bytes
        char bytes[kRecordSize] = {};
        std::size_t length = 0;
    };
    void Take(const char* bytes, std::size_t size);
    void WholeLine(const char* line, std::size_t length, LineSink& sink);
    void EndLine(LineSink& sink);
    void Expect(std::int64_t length);
    const char* SameLengthLines(const char* p, const char* end, LineSink& sink);

    std::vector<Field> fields;
    std::vector<FieldText> texts;  // handed to the sink
    std::int64_t lineLength = 0;   // bytes of the current line seen so far
    char firstByte = 0;            // of the current line
    std::int64_t count = 0;
    // The length of the last line, line feed included, which the next is expected to have (0:
    // none), and where the fields are in such a line.
    std::size_t expected = 0;
    struct Place {
        std::size_t offset, length;  // bytes
    };
    std::vector<Place> places;
};

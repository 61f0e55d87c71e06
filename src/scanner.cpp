// Cutting columns out of a log's data lines into fixed-width records.
#include "scanner.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "number.h"

ColumnScanner::ColumnScanner(int column, int second) {
    fields[0].start = (static_cast<std::int64_t>(column) - 1) * kColumnWidth;
    fields[1].start = (static_cast<std::int64_t>(second) - 1) * kColumnWidth;
    fieldCount = second > 0 && second != column ? 2 : 1;
}

void ColumnScanner::Feed(const char* data, std::size_t size, std::string& out,
                         std::string* secondOut) {
    const char* p = data;
    const char* end = data + size;
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (lf != nullptr && lineLength == 0) {
            // The usual case: a whole line in one piece, cut without copying its fields.
            WholeLine(p, static_cast<std::size_t>(lf - p), out, secondOut);
            p = lf + 1;
            continue;
        }
        Take(p, static_cast<std::size_t>((lf ? lf : end) - p));
        if (lf == nullptr) break;
        EndLine(out, secondOut);
        p = lf + 1;
    }
}

void ColumnScanner::Finish(std::string& out, std::string* secondOut) {
    if (lineLength > 0) EndLine(out, secondOut);
}

// Keeps the bytes of the current line that fall into the fields.
void ColumnScanner::Take(const char* bytes, std::size_t size) {
    if (size == 0) return;
    if (lineLength == 0) firstByte = bytes[0];
    std::int64_t from = lineLength;
    lineLength += static_cast<std::int64_t>(size);
    for (int i = 0; i < fieldCount; ++i) {
        Field& field = fields[i];
        std::int64_t first = std::max(from, field.start);
        std::int64_t last = std::min(lineLength, field.start + kRecordSize);
        if (first >= last) continue;
        std::memcpy(field.bytes + (first - field.start), bytes + (first - from),
                    static_cast<std::size_t>(last - first));
        field.length = static_cast<int>(last - field.start);
    }
}

namespace {
// Appends the field's record: its text up to a NUL, padded so that later records keep their
// places (a line too short for the column leaves the text empty). Returns the text's length.
std::size_t AppendRecord(const char* field, std::size_t fieldLength, std::string& out) {
    const void* nul = std::memchr(field, '\0', fieldLength);
    std::size_t text = nul ? static_cast<const char*>(nul) - field : fieldLength;
    char record[kRecordSize];
    std::memset(record, ' ', sizeof record);
    std::memcpy(record, field, text);
    out.append(record, sizeof record);
    return text;
}

bool IsEmptyLine(std::int64_t length, char firstByte) {
    return length == 0 || (length == 1 && firstByte == '\r');
}
}  // namespace

void ColumnScanner::WholeLine(const char* line, std::size_t length, std::string& out,
                              std::string* secondOut) {
    if (IsEmptyLine(static_cast<std::int64_t>(length), length ? line[0] : 0)) return;
    // A field the line is too short for is empty.
    auto start = [&](const Field& field) {
        return line + std::clamp<std::int64_t>(field.start, 0, static_cast<std::int64_t>(length));
    };
    auto size = [&](const Field& field) {
        std::int64_t size = std::min<std::int64_t>(std::int64_t(length) - field.start, kRecordSize);
        return static_cast<std::size_t>(std::max<std::int64_t>(size, 0));
    };
    Emit(start(fields[0]), size(fields[0]), start(fields[1]), size(fields[1]), out, secondOut);
}

void ColumnScanner::EndLine(std::string& out, std::string* secondOut) {
    if (!IsEmptyLine(lineLength, firstByte))
        Emit(fields[0].bytes, fields[0].length, fields[1].bytes, fields[1].length, out, secondOut);
    lineLength = 0;
    for (Field& field : fields) field.length = 0;
}

// Appends the records of one line: the column's, counted and noted, and the second column's.
void ColumnScanner::Emit(const char* first, std::size_t firstSize, const char* second,
                         std::size_t secondSize, std::string& out, std::string* secondOut) {
    std::size_t text = AppendRecord(first, firstSize, out);
    ++count;
    Note(ParseNumber(first, text));
    if (fieldCount == 2 && secondOut != nullptr) AppendRecord(second, secondSize, *secondOut);
}

// Keeps the extreme and the range up to date with the sample of record `count`.
void ColumnScanner::Note(double sample) {
    if (!std::isfinite(sample)) return;
    if (std::fabs(sample) > std::fabs(largest)) largest = sample;
    SampleRange& r = sampleRange;
    if (r.minimumRecord == 0 || sample < r.minimum) {
        r.minimum = sample;
        r.minimumRecord = count;
    }
    if (r.maximumRecord == 0 || sample > r.maximum) {
        r.maximum = sample;
        r.maximumRecord = count;
    }
}

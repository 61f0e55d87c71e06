// Cutting columns out of a log's data lines, which may arrive in pieces of any size.
#include "scanner.h"

#include <algorithm>
#include <cstring>

namespace {
bool IsEmptyLine(std::int64_t length, char firstByte) {
    return length == 0 || (length == 1 && firstByte == '\r');
}
}  // namespace

ColumnScanner::ColumnScanner(const std::vector<int>& columns)
    : fields(columns.size()), texts(columns.size()) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        fields[i].start = (static_cast<std::int64_t>(columns[i]) - 1) * kColumnWidth;
}

void ColumnScanner::Feed(const char* data, std::size_t size, LineSink& sink) {
    const char* p = data;
    const char* end = data + size;
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (lf != nullptr && lineLength == 0) {
            // The usual case: a whole line in one piece, cut without copying its fields.
            WholeLine(p, static_cast<std::size_t>(lf - p), sink);
            p = lf + 1;
            continue;
        }
        Take(p, static_cast<std::size_t>((lf ? lf : end) - p));
        if (lf == nullptr) break;
        EndLine(sink);
        p = lf + 1;
    }
}

void ColumnScanner::Finish(LineSink& sink) {
    if (lineLength > 0) EndLine(sink);
}

// Keeps the bytes of the current line that fall into the fields.
void ColumnScanner::Take(const char* bytes, std::size_t size) {
    if (size == 0) return;
    if (lineLength == 0) firstByte = bytes[0];
    std::int64_t from = lineLength;
    lineLength += static_cast<std::int64_t>(size);
    for (Field& field : fields) {
        std::int64_t first = std::max(from, field.start);
        std::int64_t last = std::min(lineLength, field.start + kRecordSize);
        if (first >= last) continue;
        std::memcpy(field.bytes + (first - field.start), bytes + (first - from),
                    static_cast<std::size_t>(last - first));
        field.length = static_cast<std::size_t>(last - field.start);
    }
}

void ColumnScanner::WholeLine(const char* line, std::size_t length, LineSink& sink) {
    if (IsEmptyLine(static_cast<std::int64_t>(length), length ? line[0] : 0)) return;
    const std::int64_t size = static_cast<std::int64_t>(length);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        // A field the line is too short for is empty.
        std::int64_t start = std::min(fields[i].start, size);
        texts[i] = {line + start,
                    static_cast<std::size_t>(std::min<std::int64_t>(size - start, kRecordSize))};
    }
    ++count;
    sink.OnLine(texts.data());
}

void ColumnScanner::EndLine(LineSink& sink) {
    if (!IsEmptyLine(lineLength, firstByte)) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            texts[i] = {fields[i].bytes, fields[i].length};
        ++count;
        sink.OnLine(texts.data());
    }
    lineLength = 0;
    for (Field& field : fields) field.length = 0;
}

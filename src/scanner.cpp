// Cutting columns out of a log's data lines, which may arrive in pieces of any size.
#include "scanner.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
bool IsEmptyLine(std::int64_t length, char firstByte) {
    return length == 0 || (length == 1 && firstByte == '\r');
}

// Lines shorter than this are always found with memchr.
constexpr std::size_t kShortestExpected = 17;  // bytes, line feed included

// Whether the `length` bytes at p are one line: a line feed last and none before it. With SSE2
// the bytes are compared 16 at a time, 64 in the bulk of a line, without a branch on each.
bool IsLine(const char* p, std::size_t length) {
    if (p[length - 1] != '\n') return false;  // most lines of another length stop here
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    auto at = [lf, p](std::size_t offset) {
        return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + offset)), lf);
    };
    const std::size_t last = length - 16;  // the last 16 bytes, which hold the line feed
    __m128i found = _mm_setzero_si128();
    std::size_t offset = 0;
    for (; offset + 64 <= last; offset += 64)
        found = _mm_or_si128(found, _mm_or_si128(_mm_or_si128(at(offset), at(offset + 16)),
                                                 _mm_or_si128(at(offset + 32), at(offset + 48))));
    for (; offset < last; offset += 16) found = _mm_or_si128(found, at(offset));
    return _mm_movemask_epi8(found) == 0 && _mm_movemask_epi8(at(last)) == 0x8000;
#else
    return std::memchr(p, '\n', length - 1) == nullptr;
#endif
}
}  // namespace

ColumnScanner::ColumnScanner(const std::vector<int>& columns)
    : fields(columns.size()), texts(columns.size()), places(columns.size()) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        fields[i].start = (static_cast<std::int64_t>(columns[i]) - 1) * kColumnWidth;
}

// Where a log's lines all have one length, as the simulator writes them, each line after the
// first is checked where it should end and its fields taken at their places; any other line, and
// any line that arrives in pieces, is found with memchr and sets the length expected next.
void ColumnScanner::Feed(const char* data, std::size_t size, LineSink& sink) {
    const char* p = data;
    const char* end = data + size;
    while (p < end) {
        if (expected != 0 && lineLength == 0) {
            p = SameLengthLines(p, end, sink);
            if (p == end) break;
        }
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (lf != nullptr && lineLength == 0) {
            // A whole line in one piece, cut without copying its fields.
            WholeLine(p, static_cast<std::size_t>(lf - p), sink);
            Expect(lf + 1 - p);
            p = lf + 1;
            continue;
        }
        Take(p, static_cast<std::size_t>((lf ? lf : end) - p));
        if (lf == nullptr) break;
        Expect(lineLength + 1);
        EndLine(sink);
        p = lf + 1;
    }
}

// Takes the lines at p that have the expected length; returns where the first other one starts.
const char* ColumnScanner::SameLengthLines(const char* p, const char* end, LineSink& sink) {
    const std::size_t length = expected;
    for (; static_cast<std::size_t>(end - p) >= length && IsLine(p, length); p += length) {
        for (std::size_t i = 0; i < texts.size(); ++i)
            texts[i] = {p + places[i].offset, places[i].length};
        ++count;
        sink.OnLine(texts.data());
    }
    return p;
}

// Sets the line length expected next, with the places of the fields in such a line.
void ColumnScanner::Expect(std::int64_t length) {
    if (length < static_cast<std::int64_t>(kShortestExpected)) {
        expected = 0;
        return;
    }
    if (static_cast<std::size_t>(length) == expected) return;
    expected = static_cast<std::size_t>(length);
    const std::int64_t size = length - 1;  // the line feed is no field's
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::int64_t start = std::min(fields[i].start, size);
        places[i] = {static_cast<std::size_t>(start),
                     static_cast<std::size_t>(std::min<std::int64_t>(size - start, kRecordSize))};
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

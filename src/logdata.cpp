// The log's column extraction into the temporary file, and the record reading that fills and
// slides the sample window.
#include "logdata.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "globals.h"
#include "kolejka.h"
#include "platform.h"

namespace {
constexpr std::size_t kBlockSize = 1 << 18;  // bytes read from the log, and written, at once

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The rare forms from_chars does not take as atof does (hexadecimal, out of range).
double ParseWithStrtod(const char* text, std::size_t length) {
    char copy[64];
    length = std::min(length, sizeof copy - 1);
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return std::strtod(copy, nullptr);
}

bool WriteAll(int fd, const std::string& data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t written = write(fd, p, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        p += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string Failure(const std::string& what, const std::string& path, int errnum) {
    return "plovo: cannot " + what + " '" + Printable(path) + "': " + std::strerror(errnum);
}
}  // namespace

double ParseNumber(const char* text, std::size_t length) {
    const char* end = text + length;
    if (const void* nul = std::memchr(text, '\0', length)) end = static_cast<const char*>(nul);
    const char* p = text;
    while (p < end && IsCSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    // from_chars would take a second sign, atof does not.
    if (p == end || *p == '+' || *p == '-') return 0.0;
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        return ParseWithStrtod(text, static_cast<std::size_t>(end - text));
    double number = 0.0;
    std::from_chars_result result = std::from_chars(p, end, number);
    if (result.ec == std::errc()) return negative ? -number : number;
    if (result.ec == std::errc::invalid_argument) return 0.0;
    return ParseWithStrtod(text, static_cast<std::size_t>(end - text));
}

ColumnScanner::ColumnScanner(int column)
    : fieldStart((static_cast<std::int64_t>(column) - 1) * kColumnWidth) {}

void ColumnScanner::Feed(const char* data, std::size_t size, std::string& out) {
    const char* p = data;
    const char* end = data + size;
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
        Take(p, static_cast<std::size_t>((lf ? lf : end) - p));
        if (lf == nullptr) break;
        EndLine(out);
        p = lf + 1;
    }
}

void ColumnScanner::Finish(std::string& out) {
    if (lineLength > 0) EndLine(out);
}

// Keeps the bytes of the current line that fall into the field.
void ColumnScanner::Take(const char* bytes, std::size_t size) {
    if (size == 0) return;
    if (lineLength == 0) firstByte = bytes[0];
    std::int64_t from = lineLength;
    lineLength += static_cast<std::int64_t>(size);
    std::int64_t first = std::max(from, fieldStart);
    std::int64_t last = std::min(lineLength, fieldStart + kRecordSize);
    if (first >= last) return;
    std::memcpy(field + (first - fieldStart), bytes + (first - from),
                static_cast<std::size_t>(last - first));
    fieldLength = static_cast<int>(last - fieldStart);
}

void ColumnScanner::EndLine(std::string& out) {
    bool empty = lineLength == 0 || (lineLength == 1 && firstByte == '\r');
    if (!empty) {
        // The record is the field's text up to a NUL, padded so that later records keep their
        // places; a line too short for the column leaves the text empty.
        const void* nul = std::memchr(field, '\0', static_cast<std::size_t>(fieldLength));
        std::size_t text = nul ? static_cast<const char*>(nul) - field : fieldLength;
        out.append(field, text);
        out.append(kRecordSize - text, ' ');
        double sample = ParseNumber(field, text);
        if (std::isfinite(sample) && std::fabs(sample) > std::fabs(largest)) largest = sample;
        ++count;
    }
    lineLength = 0;
    fieldLength = 0;
}

double MakeTempFile(const char* logName, int column, std::string& error) {
    error.clear();
    int log = open(logName, O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (log >= 0 && fstat(log, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(log);
        log = -1;
        errno = EISDIR;
    }
    if (log < 0) {
        error = Failure("open log", logName, errno);
        return 0.0;
    }
    int temp = CreateTempFile(error);
    if (temp < 0) {
        close(log);
        return 0.0;
    }

    auto writeFailure = [] { return Failure("write temporary file", TempPath(), errno); };
    ColumnScanner scanner(column);
    std::vector<char> block(kBlockSize);
    std::string records;
    records.reserve(kBlockSize + kRecordSize);
    std::int64_t headerLeft = kHeaderSize;  // skipped as it is read, so pipes work too
    for (;;) {
        ssize_t got = read(log, block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = Failure("read log", logName, errno);
            break;
        }
        if (got == 0) break;
        std::int64_t skip = std::min<std::int64_t>(headerLeft, got);
        headerLeft -= skip;
        scanner.Feed(block.data() + skip, static_cast<std::size_t>(got - skip), records);
        if (records.size() >= kBlockSize) {
            if (!WriteAll(temp, records)) {
                error = writeFailure();
                break;
            }
            records.clear();
        }
        if (scanner.records() > INT_MAX) break;
    }
    close(log);
    if (error.empty()) scanner.Finish(records);
    // iFc is an int: a log this long (hundreds of gigabytes) cannot be shown.
    if (error.empty() && scanner.records() > INT_MAX)
        error = "plovo: log '" + Printable(logName) + "' has more than " + std::to_string(INT_MAX) +
                " data lines";
    if (error.empty() && !WriteAll(temp, records)) error = writeFailure();
    if (close(temp) != 0 && error.empty()) error = writeFailure();
    if (!error.empty()) {
        RemoveTempFile();
        return 0.0;
    }
    iFc += static_cast<int>(scanner.records());
    return scanner.extreme();
}

double czytaj(int record) {
    if (record < 1) return 0.0;
    int fd = open(TempPath(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0.0;
    char field[kRecordSize];
    ssize_t got = pread(fd, field, sizeof field, (static_cast<off_t>(record) - 1) * kRecordSize);
    close(fd);
    if (got <= 0) return 0.0;
    const void* lf = std::memchr(field, '\n', static_cast<std::size_t>(got));
    std::size_t length = lf ? static_cast<const char*>(lf) - field : static_cast<std::size_t>(got);
    return ParseNumber(field, length);
}

void FillWindow(kolejka& window) {
    for (ieFp = 1; ieFp <= iscrWidth; ++ieFp) window.push_back(czytaj(ieFp));
    --ieFp;
}

void FillWindowAt(kolejka& window, std::int64_t start) {
    std::int64_t first = 1 + std::min<std::int64_t>(start - 1, std::max(0, iFc - iscrWidth));
    if (first <= 1) {
        FillWindow(window);
        return;
    }
    isFp = static_cast<int>(first);
    for (int i = 0; i < iscrWidth; ++i) window.push_back(czytaj(isFp + i));
    ieFp = isFp + iscrWidth - 1;
}

void AddToQueue(kolejka& window, int count, int direction) {
    if (direction != 0 && direction != 1) return;
    for (int step = 0; step < count; ++step) {
        if (direction == 1) {
            // At or past the last record; past it only after filling from a short log.
            if (ieFp >= iFc) return;
            ++isFp;
            ++ieFp;
            window.push_back(czytaj(ieFp));
        } else {
            if (isFp <= 1) return;
            --isFp;
            --ieFp;
            window.push_front(czytaj(isFp));
        }
    }
}

void GetValue(kolejka& window, int column) {
    window.reset_iter();
    for (int i = 0; i <= column; ++i) value = window.k_get();
}

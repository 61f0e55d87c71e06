// The log's column extraction into the temporary files, which goes on while a followed log
// grows, and the record reading that fills and slides the sample window.
#include "logdata.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "globals.h"
#include "kolejka.h"
#include "platform.h"
#include "progress.h"

namespace {
constexpr std::size_t kBlockSize = 1 << 18;  // bytes read from the log, and written, at once
// Bytes of a followed log kept from right before its offset, to tell a new run written over it:
// about 15 lines, so that they hold samples, not only the last columns that runs often share.
constexpr std::size_t kTailSize = 4096;

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

namespace {
// Decimals without an exponent and with at most 15 significant digits and 22 decimals, the
// simulator's usual fields, read without from_chars: the digits as a whole number and one
// division by an exact power of ten give the correctly rounded double, as strtod does. None for
// anything else (signs twice, exponents, hexadecimal, inf, nan, more digits), for the full path.
std::optional<double> ParseSimpleDecimal(const char* p, const char* end) {
    static const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    // Fields are right-aligned: skip their padding eight spaces at a time.
    const std::uint64_t kSpaces = 0x2020202020202020;
    for (std::uint64_t word; end - p >= 8; p += 8) {
        std::memcpy(&word, p, sizeof word);
        if (word != kSpaces) break;
    }
    while (p < end && IsCSpace(*p)) ++p;
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-')) ++p;
    std::uint64_t digits = 0;
    int significant = 0, decimals = 0;
    bool any = false, dot = false;
    for (; p < end; ++p) {
        if (*p == '.' && !dot) {
            dot = true;
            continue;
        }
        if (*p < '0' || *p > '9') break;
        any = true;
        digits = digits * 10 + static_cast<unsigned>(*p - '0');
        significant += digits != 0;
        decimals += dot;
        if (significant > 15 || decimals > 22) return std::nullopt;
    }
    bool more = p < end && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X');
    if (!any || more) return std::nullopt;
    double number = static_cast<double>(digits) / kPowersOfTen[decimals];
    return negative ? -number : number;
}
}  // namespace

double ParseNumber(const char* text, std::size_t length) {
    if (std::optional<double> simple = ParseSimpleDecimal(text, text + length)) return *simple;
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

std::string ExactText(double number) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, number).ptr);
}

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

namespace {
using Clock = std::chrono::steady_clock;

// Opens the log for reading, with `flags` added; -1 with errno set, also for a directory.
int OpenLog(const char* logName, int flags = 0) {
    int log = open(logName, O_RDONLY | O_CLOEXEC | flags);
    struct stat status;
    if (log >= 0 && fstat(log, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(log);
        log = -1;
        errno = EISDIR;
    }
    return log;
}

// The temporary files being written and the records not yet written to them.
struct TempWriter {
    int samples = -1, times = -1;  // times is -1 when the samples are the time column
    std::string sampleRecords, timeRecords;

    const char* failedPath = "";  // the file a write or close failed on, with errno

    // Writes what is buffered once it reaches `atLeast` bytes.
    bool Flush(std::size_t atLeast = 0) {
        if (sampleRecords.size() < atLeast) return true;
        if (!WriteAll(samples, sampleRecords)) return Failed(TempPath());
        if (times >= 0 && !WriteAll(times, timeRecords)) return Failed(TimePath());
        sampleRecords.clear();
        timeRecords.clear();
        return true;
    }
    // Drops what is buffered and cuts both files to `size` bytes, to write on from there.
    bool Cut(off_t size) {
        sampleRecords.clear();
        timeRecords.clear();
        if (ftruncate(samples, size) != 0 || lseek(samples, size, SEEK_SET) < 0)
            return Failed(TempPath());
        if (times >= 0 && (ftruncate(times, size) != 0 || lseek(times, size, SEEK_SET) < 0))
            return Failed(TimePath());
        return true;
    }
    bool Close() {
        if (samples < 0) return true;
        bool closed = close(samples) == 0 || Failed(TempPath());
        if (times >= 0) closed = (close(times) == 0 || Failed(TimePath())) && closed;
        samples = times = -1;
        return closed;
    }
    bool Failed(const char* path) {
        failedPath = path;
        return false;
    }
    std::string* TimeOut() { return times >= 0 ? &timeRecords : nullptr; }
};

// Creates the temporary files for `column`: the samples and, unless they are the time column,
// the times. False with a message in error, with nothing left.
bool CreateTempFiles(int column, TempWriter& writer, std::string& error) {
    writer.samples = CreateTempFile(error);
    if (writer.samples < 0) return false;
    if (column == kTimeColumn) return true;
    writer.times = CreateTimeFile(error);
    if (writer.times >= 0) return true;
    close(writer.samples);
    writer.samples = -1;
    RemoveTempFile();
    return false;
}

enum class Read { End, Later, Failed };  // how far ReadOn got
enum class Fault { Read, Write, TooLong };
}  // namespace

struct LogExtraction::State {
    State(const char* name, int chartColumn)
        : logName(name), column(chartColumn), scanner(chartColumn, kTimeColumn) {}
    ~State() {
        if (log >= 0) close(log);
        writer.Close();
    }

    std::string logName;
    int column;
    int log = -1;
    dev_t device = 0;  // the open log's identity, to tell another file at its path
    ino_t inode = 0;
    bool regular = true;                    // a regular file, whose size tells what is new
    std::int64_t offset = 0;                // bytes of the log read
    std::string tail;                       // the last of them, up to kTailSize
    timespec changed = {};                  // the log's ctime when it was last read on
    std::int64_t headerLeft = kHeaderSize;  // skipped as it is read, so pipes work too
    ColumnScanner scanner;
    TempWriter writer;
    // The records in both files and counted in iFc, with their extreme and range: what stays
    // when following stops, whatever the scanner took after them.
    struct Taken {
        std::int64_t records = 0;
        double extreme = 0.0;
        SampleRange range;
    } committed;
    std::vector<char> block;
    bool follows = false;
    Fault fault = Fault::Read;  // what failed, with faultErrno
    int faultErrno = 0;

    bool Fail(Fault what) {
        fault = what;
        faultErrno = errno;
        return false;
    }

    // Reads the log on from its offset, writing the records out as they fill a block, until it
    // has nothing more to give or `deadline` has passed.
    Read ReadOn(Clock::time_point deadline) {
        block.resize(kBlockSize);
        for (;;) {
            ssize_t got = read(log, block.data(), block.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && errno == EAGAIN) return Read::End;  // a FIFO without more for now
            if (got == 0) return Read::End;
            if (got < 0) {
                Fail(Fault::Read);
                return Read::Failed;
            }
            if (!follows) ReportProgress(got);  // the first extraction, which the user waits for
            offset += got;
            KeepTail(block.data(), static_cast<std::size_t>(got));
            std::int64_t skip = std::min<std::int64_t>(headerLeft, got);
            headerLeft -= skip;
            scanner.Feed(block.data() + skip, static_cast<std::size_t>(got - skip),
                         writer.sampleRecords, writer.TimeOut());
            if (!writer.Flush(kBlockSize)) {
                Fail(Fault::Write);
                return Read::Failed;
            }
            if (TooLong()) return Read::Failed;
            if (Clock::now() >= deadline) return Read::Later;
        }
    }

    // Keeps the last kTailSize bytes read, of which `bytes` are the newest.
    void KeepTail(const char* bytes, std::size_t size) {
        std::size_t keep = std::min(size, kTailSize);
        tail.append(bytes + size - keep, keep);
        if (tail.size() > kTailSize) tail.erase(0, tail.size() - kTailSize);
    }

    // Whether the log no longer holds `bytes` right before offset `at`: it was cut or rewritten
    // since they were read. A failed read counts as rewritten, as taking the log again is safe.
    bool Rewritten(const std::string& bytes, std::int64_t at) const {
        std::string now(bytes.size(), '\0');
        ssize_t got = pread(log, now.data(), now.size(), at - static_cast<off_t>(bytes.size()));
        return got != static_cast<ssize_t>(bytes.size()) || now != bytes;
    }

    // iFc is an int: a log this long (hundreds of gigabytes) cannot be shown.
    bool TooLong() {
        if (scanner.records() <= INT_MAX) return false;
        Fail(Fault::TooLong);
        return true;
    }

    // Writes out what is buffered and counts its records in iFc.
    bool Commit() {
        if (!writer.Flush()) return Fail(Fault::Write);
        iFc += static_cast<int>(scanner.records() - committed.records);
        committed = {scanner.records(), scanner.extreme(), scanner.range()};
        return true;
    }

    // Notes the open log's identity and kind, and makes reads of a FIFO return at once.
    void Watch() {
        struct stat status = {};
        fstat(log, &status);
        device = status.st_dev;
        inode = status.st_ino;
        regular = S_ISREG(status.st_mode);
        fcntl(log, F_SETFL, fcntl(log, F_GETFL) | O_NONBLOCK);
    }

    // Reads the file the log's path names now in place of the one read so far; false with errno
    // when it cannot be opened.
    bool Reopen() {
        int fd = OpenLog(logName.c_str(), O_NONBLOCK);  // a FIFO without a writer: at once
        if (fd < 0) return false;
        close(log);
        log = fd;
        Watch();
        return true;
    }

    // Takes what the file at the log's path gained since the last look, from the first byte
    // when it is a new run (startedOver). A path naming no file (a name along it missing) gains
    // nothing; one that names a file that cannot be opened fails, as a failed read does.
    bool TakeNew(Clock::time_point deadline, bool& startedOver) {
        struct stat named;
        if (stat(logName.c_str(), &named) != 0) return Missing() || Fail(Fault::Read);
        bool replaced = named.st_dev != device || named.st_ino != inode;
        if (replaced && !Reopen()) return Missing() || Fail(Fault::Read);
        if (!replaced && regular && Unchanged(named)) return true;
        changed = named.st_ctim;
        startedOver = replaced;
        if (replaced) return StartOver(deadline);
        std::string before = tail;
        std::int64_t at = offset;
        if (ReadOn(deadline) == Read::Failed) return false;
        // Checked after reading, so that a new run written over the log while it was being read
        // is caught too; all of it is then taken again.
        startedOver = regular && Rewritten(before, at);
        return startedOver ? StartOver(deadline) : Commit();
    }

    // The idle pass costs this one stat: every write and truncation sets the ctime.
    bool Unchanged(const struct stat& named) const {
        return named.st_size == offset && named.st_ctim.tv_sec == changed.tv_sec &&
               named.st_ctim.tv_nsec == changed.tv_nsec;
    }

    // Forgets the records taken and takes the log again from its first byte.
    bool StartOver(Clock::time_point deadline) {
        if (regular && lseek(log, 0, SEEK_SET) < 0) return Fail(Fault::Read);
        offset = 0;
        tail.clear();
        headerLeft = kHeaderSize;
        scanner = ColumnScanner(column, kTimeColumn);
        iFc -= static_cast<int>(committed.records);
        committed = {};
        if (!writer.Cut(0)) return Fail(Fault::Write);
        return ReadOn(deadline) != Read::Failed && Commit();
    }

    static bool Missing() { return errno == ENOENT || errno == ENOTDIR; }

    // Ends following, keeping the records counted in iFc.
    void Stop() {
        writer.Cut(static_cast<off_t>(committed.records) * kRecordSize);
        writer.Close();
        close(log);
        log = -1;
        follows = false;
    }

    std::string StartFailure() const {
        if (fault == Fault::TooLong)
            return "plovo: log '" + Printable(logName) + "' has more than " +
                   std::to_string(INT_MAX) + " data lines";
        if (fault == Fault::Write)
            return Failure("write temporary file", writer.failedPath, faultErrno);
        return Failure("read log", logName, faultErrno);
    }

    std::string FollowFailure() const {
        std::string why =
            fault == Fault::TooLong
                ? "it has more than " + std::to_string(INT_MAX) + " data lines"
                : std::string(fault == Fault::Write ? "cannot write the temporary file"
                                                    : "cannot read the log") +
                      ": " + std::strerror(faultErrno);
        return "plovo: stopped following '" + Printable(logName) + "': " + why;
    }
};

LogExtraction::LogExtraction(const char* logName, int column)
    : state(std::make_unique<State>(logName, column)) {}

LogExtraction::~LogExtraction() = default;

bool LogExtraction::Start(bool follow, std::string& error) {
    State& s = *state;
    error.clear();
    s.log = OpenLog(s.logName.c_str());
    if (s.log < 0) {
        error = Failure("open log", s.logName, errno);
        return false;
    }
    if (!CreateTempFiles(s.column, s.writer, error)) return false;
    s.writer.sampleRecords.reserve(kBlockSize + kRecordSize);
    if (s.writer.TimeOut()) s.writer.timeRecords.reserve(kBlockSize + kRecordSize);
    if (follow) s.Watch();

    StartProgress(s.log);
    bool read = s.ReadOn(Clock::time_point::max()) != Read::Failed;
    EndProgress();
    if (read && !follow) s.scanner.Finish(s.writer.sampleRecords, s.writer.TimeOut());
    bool done = read && !s.TooLong() && s.Commit();
    if (!follow || !done) {
        close(s.log);
        s.log = -1;
        bool closed = s.writer.Close();
        if (!closed && done) done = s.Fail(Fault::Write);
    }
    if (!done) {
        iFc -= static_cast<int>(s.committed.records);
        error = s.StartFailure();
        RemoveTempFile();
        return false;
    }
    s.follows = follow;
    return true;
}

FollowResult LogExtraction::Follow(Clock::time_point deadline, std::string& error) {
    State& s = *state;
    FollowResult result;
    if (!s.follows || s.TakeNew(deadline, result.startedOver)) return result;
    error = s.FollowFailure();
    s.Stop();
    result.stopped = true;
    return result;
}

bool LogExtraction::following() const {
    return state->follows;
}

double LogExtraction::extreme() const {
    return state->committed.extreme;
}

const SampleRange& LogExtraction::range() const {
    return state->committed.range;
}

double MakeTempFile(const char* logName, int column, std::string& error, SampleRange* range) {
    LogExtraction extraction(logName, column);
    if (!extraction.Start(false, error)) return 0.0;
    if (range != nullptr) *range = extraction.range();
    return extraction.extreme();
}

namespace {
// A record's number: its text up to a line feed, as atof reads it.
double ParseRecord(const char* field, std::size_t size) {
    const void* lf = std::memchr(field, '\n', size);
    return ParseNumber(field, lf ? static_cast<const char*>(lf) - field : size);
}

double ReadRecord(const char* path, int record) {
    if (record < 1) return 0.0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0.0;
    char field[kRecordSize];
    ssize_t got = pread(fd, field, sizeof field, (static_cast<off_t>(record) - 1) * kRecordSize);
    close(fd);
    return got <= 0 ? 0.0 : ParseRecord(field, static_cast<std::size_t>(got));
}

// The time column's file: the samples' own when they are the time column.
const char* TimeColumnPath() {
    return TimePath()[0] != '\0' ? TimePath() : TempPath();
}
}  // namespace

double czytaj(int record) {
    return ReadRecord(TempPath(), record);
}

double RecordTime(int record) {
    return ReadRecord(TimeColumnPath(), record);
}

RecordStream::RecordStream(const char* path, std::int64_t first)
    : fd(open(path, O_RDONLY | O_CLOEXEC)) {
    if (fd >= 0)
        lseek(fd, static_cast<off_t>(std::max<std::int64_t>(first, 1) - 1) * kRecordSize, SEEK_SET);
}

RecordStream::~RecordStream() {
    if (fd >= 0) close(fd);
}

double RecordStream::Next() {
    if (block.size() - at < kRecordSize) Refill();
    if (at >= block.size()) return 0.0;
    std::size_t size = std::min<std::size_t>(kRecordSize, block.size() - at);
    double sample = ParseRecord(block.data() + at, size);
    at += size;
    return sample;
}

// Keeps what is left of the block and reads on until it holds a whole record, or the file ends.
void RecordStream::Refill() {
    block.erase(0, at);
    at = 0;
    std::size_t have = block.size();
    block.resize(kBlockSize / kRecordSize * kRecordSize);
    while (fd >= 0 && have < kRecordSize) {
        ssize_t got = read(fd, &block[have], block.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        have += static_cast<std::size_t>(got);
    }
    block.resize(have);
}

void ForEachRecord(std::int64_t first, std::int64_t last,
                   const std::function<void(std::int64_t, double, double)>& visit) {
    first = std::max<std::int64_t>(first, 1);
    last = std::min<std::int64_t>(last, iFc);
    RecordStream samples(TempPath(), first), times(TimeColumnPath(), first);
    for (std::int64_t record = first; record <= last; ++record) {
        double time = times.Next();
        visit(record, time, samples.Next());
    }
}

std::int64_t FirstRecordAt(double seconds, std::int64_t first) {
    RecordStream times(TimeColumnPath(), first);
    for (std::int64_t record = first; record <= iFc; ++record)
        if (times.Next() >= seconds) return record;
    return 0;
}

RecordSpan RecordsUpTo(std::int64_t first, double seconds) {
    if (first < 1 || first > iFc) return {};
    RecordStream times(TimeColumnPath(), first + 1);
    std::int64_t last = first;
    while (last < iFc && !(times.Next() > seconds)) ++last;
    return {first, last};
}

std::int64_t StartAt(double seconds) {
    std::int64_t record = FirstRecordAt(seconds);
    return record != 0 ? record : static_cast<std::int64_t>(iFc) + 1;
}

std::int64_t OpeningRecord(std::int64_t start) {
    return 1 + std::min<std::int64_t>(start - 1, std::max(0, iFc - iscrWidth));
}

void FillWindow(kolejka& window) {
    RefillWindow(window, 1);
}

void FillWindowAt(kolejka& window, std::int64_t start) {
    RefillWindow(window, OpeningRecord(start));
}

void RefillWindow(kolejka& window, std::int64_t first) {
    RecordStream samples(TempPath(), first);
    for (std::int64_t record = first; record < first + iscrWidth; ++record)
        window.push_back(record <= iFc ? samples.Next() : 0.0);
    isFp = static_cast<int>(first);
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

// The one pass over the log into the temporary files, going on while a followed log grows.
#include "extraction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <vector>

#include "globals.h"
#include "progress.h"
#include "tempfiles.h"
#include "text.h"

namespace {
constexpr std::size_t kBlockSize = 1 << 18;  // bytes read from the log, and written, at once
// Bytes of a followed log kept from right before its offset, to tell a new run written over it:
// about 15 lines, so that they hold samples, not only the last columns that runs often share.
constexpr std::size_t kTailSize = 4096;

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
bool CreateTempFiles(int column, TempWriter& writer, std::string* err) {
    if (!CreateTempFile(&writer.samples, err)) return false;
    if (column == kTimeColumn) return true;
    if (CreateTimeFile(&writer.times, err)) return true;
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

bool LogExtraction::Start(bool follow, std::string* err) {
    State& s = *state;
    s.log = OpenLog(s.logName.c_str());
    if (s.log < 0) {
        *err = Failure("open log", s.logName, errno);
        return false;
    }
    if (!CreateTempFiles(s.column, s.writer, err)) return false;
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
        *err = s.StartFailure();
        RemoveTempFile();
        return false;
    }
    s.follows = follow;
    return true;
}

FollowResult LogExtraction::Follow(Clock::time_point deadline, std::string* err) {
    State& s = *state;
    FollowResult result;
    if (!s.follows || s.TakeNew(deadline, result.startedOver)) return result;
    *err = s.FollowFailure();
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

double MakeTempFile(const char* logName, int column, std::string* err, SampleRange* range) {
    LogExtraction extraction(logName, column);
    if (!extraction.Start(false, err)) return 0.0;
    if (range != nullptr) *range = extraction.range();
    return extraction.extreme();
}

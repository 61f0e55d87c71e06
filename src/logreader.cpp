// The one reader of logs: a log read once, or followed as it grows, its data lines handed to the
// consumers that asked for their columns.
#include "logreader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files.h"
#include "number.h"
#include "progress.h"
#include "text.h"

namespace {
using Clock = std::chrono::steady_clock;

// Chunks a file holds at least to be read by workers: starting them costs more than a smaller
// file (the sample) takes to read in place.
constexpr off_t kAheadChunks = 4;
constexpr std::size_t kFetchAhead = 8;  // lines

std::string Failure(const std::string& what, const std::string& path, int errnum) {
    return "plovo: cannot " + what + " '" + Printable(path) + "': " + std::strerror(errnum);
}

// Opens the log for reading, with `flags` added; -1 with errno set, also for a directory.
int OpenLog(const std::string& path, int flags = 0) {
    int log = open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    struct stat status;
    if (log >= 0 && fstat(log, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(log);
        log = -1;
        errno = EISDIR;
    }
    if (log >= 0) posix_fadvise(log, 0, 0, POSIX_FADV_SEQUENTIAL);
    return log;
}
}  // namespace

std::size_t ColumnSet::Field(int column) {
    auto at = std::find(columns_.begin(), columns_.end(), column);
    if (at != columns_.end()) return static_cast<std::size_t>(at - columns_.begin());
    columns_.push_back(column);
    return columns_.size() - 1;
}

double LogLine::Number(std::size_t field) const {
    return numbers ? numbers[field] : ParseNumber(fields[field].text, fields[field].length);
}

// The sink the scanner feeds: each line, numbered, to every consumer.
class LogReader::Fanout final : public LineSink {
  public:
    explicit Fanout(const std::vector<LineConsumer*>& consumers) : consumers(consumers) {}
    void OnLine(const FieldText* fields) override { OnParsedLine(fields, nullptr); }
    void OnParsedLine(const FieldText* fields, const double* numbers) {
        LogLine line{++record, fields, numbers};
        for (LineConsumer* consumer : consumers) consumer->OnLine(line);
    }
    void Restart() { record = 0; }
    std::int64_t lines() const { return record; }

  private:
    const std::vector<LineConsumer*>& consumers;
    std::int64_t record = 0;
};

LogReader::LogReader(const std::string& path) : path_(path) {}

std::int64_t LogReader::lines() const {
    return fanout ? fanout->lines() : 0;
}

LogReader::~LogReader() {
    if (log >= 0) close(log);
}

void LogReader::Add(LineConsumer& consumer) {
    consumers.push_back(&consumer);
}

bool LogReader::Satisfied() const {
    return !consumers.empty() && std::all_of(consumers.begin(), consumers.end(),
                                             [](LineConsumer* c) { return c->Satisfied(); });
}

// Reads the log on from its offset until it has nothing more to give, every consumer is
// satisfied, or `deadline` has passed.
LogReader::Read LogReader::ReadOn(Clock::time_point deadline) {
    block.resize(kBlockSize);
    while (!Satisfied()) {
        ssize_t got = ReadSome(log, block.data(), block.size());
        if (got < 0 && errno == EAGAIN) return Read::kEnd;  // a FIFO without more for now
        if (got == 0) return Read::kEnd;
        if (got < 0) {
            readErrno = errno;
            return Read::kFailed;
        }
        // The first reading, which the user waits for; a short read may wait for the writer.
        if (progress && !follows) ReportProgress(got, static_cast<std::size_t>(got) < block.size());
        identity.Read(block.data(), static_cast<std::size_t>(got));
        std::int64_t skip = std::min<std::int64_t>(headerLeft, got);
        headerLeft -= skip;
        scanner->Feed(block.data() + skip, static_cast<std::size_t>(got - skip), *fanout);
        if (Clock::now() >= deadline) return Read::kLater;
    }
    return Read::kEnd;
}

// Reads a regular file of kAheadChunks chunks or more with the workers, as far as they go, then
// has the reading go on from the end of the last line they took.
LogReader::Read LogReader::ReadInParts() {
    unsigned workers = aheadWorkers != 0 ? aheadWorkers : UsableCores();
    struct stat status;
    if (workers < 2 || fstat(log, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size < kAheadChunks * static_cast<off_t>(aheadChunk))
        return Read::kEnd;
    ReadAhead ahead(log, status.st_size, columns_.columns(), workers, aheadChunk);
    const std::size_t width = columns_.columns().size();
    std::int64_t position = 0;
    ParsedChunk chunk;
    while (!Satisfied() && ahead.Next(&chunk)) {
        if (chunk.error != 0) {
            readErrno = chunk.error;
            return Read::kFailed;
        }
        if (chunk.end > chunk.begin) {
            const auto size = static_cast<std::size_t>(chunk.end - chunk.begin);
            if (progress) ReportProgress(static_cast<std::int64_t>(size), false);
            identity.Read(chunk.bytes, size);
            position = chunk.end;
        }
        if (!chunk.parsed) {
            // Read here before any worker came to it: cut and parsed as the lines are taken.
            ColumnScanner lines(columns_.columns());
            lines.Feed(chunk.bytes + (chunk.linesBegin - chunk.begin),
                       static_cast<std::size_t>(chunk.end - chunk.linesBegin), *fanout);
        }
        for (std::size_t i = 0; i < chunk.lines; ++i) {
            // The fields a worker read are in its core's cache: asked for a few lines ahead, they
            // are here when a consumer copies them.
            if (i + kFetchAhead < chunk.lines)
                for (std::size_t k = 0; k < width; ++k)
                    __builtin_prefetch(chunk.fields[(i + kFetchAhead) * width + k].text);
            fanout->OnParsedLine(chunk.fields + i * width, chunk.numbers + i * width);
        }
    }
    headerLeft = std::max<std::int64_t>(0, kHeaderSize - position);
    if (lseek(log, static_cast<off_t>(position), SEEK_SET) < 0) {
        readErrno = errno;
        return Read::kFailed;
    }
    return Read::kEnd;
}

bool LogReader::Start(bool follow, std::string* err) {
    log = OpenLog(path_);
    if (log < 0) return Refuse(err, Failure("open log", path_, errno));
    fanout = std::make_unique<Fanout>(consumers);
    scanner = std::make_unique<ColumnScanner>(columns_.columns());
    if (follow) Watch();
    if (progress) StartProgress(log);
    Read read = ReadInParts();
    if (read != Read::kFailed) read = ReadOn(Clock::time_point::max());
    if (progress) EndProgress();
    if (read != Read::kFailed && !follow) scanner->Finish(*fanout);
    follows = follow && read != Read::kFailed;
    if (!follows) {
        close(log);
        log = -1;
    }
    return read != Read::kFailed || Refuse(err, Failure("read log", path_, readErrno));
}

// Notes the open log's identity, and makes reads of a FIFO return at once.
void LogReader::Watch() {
    identity.Open(log);
    fcntl(log, F_SETFL, fcntl(log, F_GETFL) | O_NONBLOCK);
}

// Reads the file the log's path names now in place of the one read so far; false with errno
// when it cannot be opened.
bool LogReader::Reopen() {
    int fd = OpenLog(path_, O_NONBLOCK);  // a FIFO without a writer: at once
    if (fd < 0) return false;
    close(log);
    log = fd;
    Watch();
    return true;
}

FollowResult LogReader::Follow(Clock::time_point deadline, std::string* err) {
    FollowResult result;
    if (!follows || TakeNew(deadline, result)) return result;
    *err = "plovo: stopped following '" + Printable(path_) +
           "': cannot read the log: " + std::strerror(readErrno);
    Stop();
    result.stopped = true;
    return result;
}

void LogReader::Stop() {
    if (log >= 0) close(log);
    log = -1;
    follows = false;
}

// Takes what the file at the log's path gained since the last look, from the first byte
// when it is a new run (result.startedOver), with a notice for the user when the file went
// away, came back, was cut or was replaced. A path naming no file (a name along it missing)
// gains nothing; one that names a file that cannot be opened fails, as a failed read does.
bool LogReader::TakeNew(Clock::time_point deadline, FollowResult& result) {
    struct stat named;
    auto failed = [&] {
        readErrno = errno;
        return GoneAway(result);
    };
    if (stat(path_.c_str(), &named) != 0) return failed();
    bool replaced = !identity.IsFile(named);
    if (replaced && !Reopen()) return failed();
    if (inaccessible && !replaced) result.notice = Notice("has become accessible again");
    inaccessible = false;
    if (!replaced && identity.Unchanged(named)) return true;
    identity.NoteChange(named);
    if (replaced) {
        result.notice = Notice("was replaced: following the new file");
        result.startedOver = true;
        return StartOver(deadline);
    }
    bool shorter = identity.regular() && named.st_size < identity.offset();
    LogIdentity before = identity;
    if (ReadOn(deadline) == Read::kFailed) return false;
    // Checked after reading, so that a new run written over the log while it was being read
    // is caught too; all of it is then taken again.
    result.startedOver = identity.regular() && !before.StillHolds(log);
    if (!result.startedOver) return true;
    result.notice =
        Notice(shorter ? "was truncated: starting over" : "was rewritten: starting over");
    return StartOver(deadline);
}

// True when the path names no file now, with a notice the first time.
bool LogReader::GoneAway(FollowResult& result) {
    if (readErrno != ENOENT && readErrno != ENOTDIR) return false;
    if (!inaccessible) result.notice = Notice("has become inaccessible");
    inaccessible = true;
    return true;
}

std::string LogReader::Notice(const char* what) const {
    return "plovo: '" + Printable(path_) + "' " + what;
}

// Forgets the lines taken and takes the log again from its first byte.
bool LogReader::StartOver(Clock::time_point deadline) {
    if (identity.regular() && lseek(log, 0, SEEK_SET) < 0) {
        readErrno = errno;
        return false;
    }
    identity.Restart();
    headerLeft = kHeaderSize;
    scanner = std::make_unique<ColumnScanner>(columns_.columns());
    fanout->Restart();
    for (LineConsumer* consumer : consumers) consumer->Restart();
    return ReadOn(deadline) != Read::kFailed;
}

bool CheckLogReadable(const std::string& logName, std::string* err) {
    struct stat status;
    int errnum = stat(logName.c_str(), &status) != 0  ? errno
                 : S_ISDIR(status.st_mode)            ? EISDIR
                 : access(logName.c_str(), R_OK) != 0 ? errno
                                                      : 0;
    return errnum == 0 || Refuse(err, Failure("open log", logName, errnum));
}

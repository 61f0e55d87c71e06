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

#include "channelrecords.h"
#include "globals.h"
#include "logidentity.h"
#include "progress.h"
#include "records.h"
#include "tempfiles.h"
#include "text.h"

namespace {
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

enum class Read { End, Later, Failed };  // how far ReadOn got
enum class Fault { Read, Write, TooLong };
}  // namespace

struct LogExtraction::State {
    State(const char* name, const std::vector<Channel>& chartChannels, bool keepRecords)
        : logName(name),
          channels(chartChannels),
          keep(keepRecords),
          maker(channels, output.files, keep),
          scanner(maker.Columns()) {}
    ~State() {
        if (log >= 0) close(log);
        output.Remove();
    }

    std::string logName;
    std::vector<Channel> channels;
    bool keep;  // the records are written; else only the figures are taken
    int log = -1;
    LogIdentity identity;                   // of the file read, to tell it growing from a new run
    bool inaccessible = false;              // the path names no file (a name along it missing)
    std::int64_t headerLeft = kHeaderSize;  // skipped as it is read, so pipes work too
    RecordFiles output;
    RecordMaker maker;
    ColumnScanner scanner;
    // The records in the files, with their figures: what stays when following stops, whatever
    // the scanner took after them.
    struct Taken {
        std::int64_t records = 0;
        StretchAccumulator stretch, chosenStretch;
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
            identity.Read(block.data(), static_cast<std::size_t>(got));
            std::int64_t skip = std::min<std::int64_t>(headerLeft, got);
            headerLeft -= skip;
            scanner.Feed(block.data() + skip, static_cast<std::size_t>(got - skip), maker);
            // Rows all made, or refused: the rest of the log would be read in vain (for ever
            // from a FIFO still open); the stream's owner reports why they were refused.
            if (maker.RowsDone()) return Read::End;
            if (!output.Flush(kBlockSize)) {
                Fail(Fault::Write);
                return Read::Failed;
            }
            if (TooLong()) return Read::Failed;
            if (Clock::now() >= deadline) return Read::Later;
        }
    }

    // The viewer counts records in an int: a log this long (hundreds of gigabytes) cannot be
    // shown.
    bool TooLong() {
        if (maker.records <= INT_MAX) return false;
        Fail(Fault::TooLong);
        return true;
    }

    // Writes out what is pending; its records then count.
    bool Commit() {
        if (!output.Flush()) return Fail(Fault::Write);
        maker.FlushRows();
        committed = {maker.records, maker.stretch, maker.chosenStretch};
        return true;
    }

    // Notes the open log's identity, and makes reads of a FIFO return at once.
    void Watch() {
        identity.Open(log);
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
    // when it is a new run (result.startedOver), with a notice for the user when the file went
    // away, came back, was cut or was replaced. A path naming no file (a name along it missing)
    // gains nothing; one that names a file that cannot be opened fails, as a failed read does.
    bool TakeNew(Clock::time_point deadline, FollowResult& result) {
        struct stat named;
        if (stat(logName.c_str(), &named) != 0) return GoneAway(result) || Fail(Fault::Read);
        bool replaced = !identity.IsFile(named);
        if (replaced && !Reopen()) return GoneAway(result) || Fail(Fault::Read);
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
        if (ReadOn(deadline) == Read::Failed) return false;
        // Checked after reading, so that a new run written over the log while it was being read
        // is caught too; all of it is then taken again.
        result.startedOver = identity.regular() && !before.StillHolds(log);
        if (!result.startedOver) return Commit();
        result.notice =
            Notice(shorter ? "was truncated: starting over" : "was rewritten: starting over");
        return StartOver(deadline);
    }

    // True when the path names no file now, with a notice the first time.
    bool GoneAway(FollowResult& result) {
        if (errno != ENOENT && errno != ENOTDIR) return false;
        if (!inaccessible) result.notice = Notice("has become inaccessible");
        inaccessible = true;
        return true;
    }

    std::string Notice(const char* what) const {
        return "plovo: '" + Printable(logName) + "' " + what;
    }

    // Forgets the records taken and takes the log again from its first byte.
    bool StartOver(Clock::time_point deadline) {
        if (identity.regular() && lseek(log, 0, SEEK_SET) < 0) return Fail(Fault::Read);
        identity.Restart();
        headerLeft = kHeaderSize;
        scanner = ColumnScanner(maker.Columns());
        maker.Reset();
        committed = {};
        if (!output.Cut(0)) return Fail(Fault::Write);
        return ReadOn(deadline) != Read::Failed && Commit();
    }

    // Ends following, keeping the records committed.
    void Stop() {
        output.Cut(static_cast<off_t>(committed.records) * kRecordSize);
        close(log);
        log = -1;
        follows = false;
    }

    std::string StartFailure() const {
        if (fault == Fault::TooLong)
            return "plovo: log '" + Printable(logName) + "' has more than " +
                   std::to_string(INT_MAX) + " data lines";
        if (fault == Fault::Write)
            return Failure("write temporary file", output.failedPath, faultErrno);
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

LogExtraction::LogExtraction(const char* logName, const std::vector<Channel>& channels,
                             Records records)
    : state(std::make_unique<State>(logName, channels, records == Records::kWritten)) {}

LogExtraction::~LogExtraction() = default;

bool LogExtraction::Start(bool follow, std::string* err) {
    State& s = *state;
    s.log = OpenLog(s.logName.c_str());
    if (s.log < 0) {
        *err = Failure("open log", s.logName, errno);
        return false;
    }
    if (!s.output.Create(s.keep ? s.channels : std::vector<Channel>(), err)) {
        close(s.log);
        s.log = -1;
        return false;
    }
    if (follow) s.Watch();

    StartProgress(s.log);
    bool read = s.ReadOn(Clock::time_point::max()) != Read::Failed;
    EndProgress();
    if (read && !follow) s.scanner.Finish(s.maker);
    bool done = read && !s.TooLong() && s.Commit();
    if (!follow || !done) {
        close(s.log);
        s.log = -1;
    }
    if (!done) {
        *err = s.StartFailure();
        s.output.Remove();
        return false;
    }
    s.follows = follow;
    return true;
}

FollowResult LogExtraction::Follow(Clock::time_point deadline, std::string* err) {
    State& s = *state;
    FollowResult result;
    if (!s.follows || s.TakeNew(deadline, result)) return result;
    *err = s.FollowFailure();
    s.Stop();
    result.stopped = true;
    return result;
}

bool LogExtraction::following() const {
    return state->follows;
}

bool LogExtraction::accessible() const {
    return !state->inaccessible;
}

std::int64_t LogExtraction::records() const {
    return state->committed.records;
}

double LogExtraction::extreme() const {
    return state->committed.stretch.Samples().extreme;
}

StretchFigures LogExtraction::figures() const {
    return state->committed.stretch.Figures();
}

void LogExtraction::Choose(const StretchChoice& choice) {
    state->maker.Choose(choice);
}

void LogExtraction::StreamRows(std::ostream* out, const StretchChoice& stretch) {
    state->maker.StreamRows(out, stretch);
}

StretchFigures LogExtraction::chosenFigures() const {
    return state->committed.chosenStretch.Figures();
}

const SampleRange& LogExtraction::range() const {
    return state->committed.stretch.Samples().range;
}

int LogExtraction::file(std::size_t channel) const {
    const std::vector<RecordFile>& files = state->output.files;
    return channel < files.size() ? files[channel].fd : -1;
}

int LogExtraction::timeFile() const {
    return state->output.TimeFile();
}

const std::string& LogExtraction::path(std::size_t channel) const {
    static const std::string none;
    const std::vector<RecordFile>& files = state->output.files;
    return channel < files.size() ? files[channel].path : none;
}

const std::string& LogExtraction::timePath() const {
    return path(state->output.files.size() - 1);
}

bool CheckLogReadable(const std::string& logName, std::string* err) {
    struct stat status;
    int errnum = stat(logName.c_str(), &status) != 0  ? errno
                 : S_ISDIR(status.st_mode)            ? EISDIR
                 : access(logName.c_str(), R_OK) != 0 ? errno
                                                      : 0;
    if (errnum != 0) *err = Failure("open log", logName, errnum);
    return errnum == 0;
}

namespace {
// The extraction of the last MakeTempFile, whose files the record readers read.
std::unique_ptr<LogExtraction> lastMade;
}  // namespace

double MakeTempFile(const char* logName, int column, std::string* err, SampleRange* range) {
    return MakeTempFile(logName, ColumnChannel(column), err, range);
}

double MakeTempFile(const char* logName, const Channel& channel, std::string* err,
                    SampleRange* range) {
    lastMade.reset();  // its files go first, as a new one replaces them
    auto extraction = std::make_unique<LogExtraction>(logName, std::vector<Channel>{channel});
    if (!extraction->Start(false, err)) return 0.0;
    iFc += static_cast<int>(extraction->records());
    UseRecordFiles(extraction->file(0), extraction->timeFile());
    if (range != nullptr) *range = extraction->range();
    lastMade = std::move(extraction);
    return lastMade->extreme();
}

const char* TempPath() {
    return lastMade ? lastMade->path(0).c_str() : "";
}

const char* TimePath() {
    if (!lastMade || lastMade->timeFile() == lastMade->file(0)) return "";
    return lastMade->timePath().c_str();
}

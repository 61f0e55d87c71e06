// A run of tables over many logs: the logs read by a worker per core, the rows written in the
// order of the command line.
#include "summaryrun.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "fdstream.h"
#include "logreader.h"
#include "orderedrows.h"
#include "outputfile.h"
#include "progress.h"
#include "signals.h"
#include "summary.h"
#include "summarytables.h"
#include "text.h"

namespace {
constexpr std::size_t kHeldLimit = 8 << 20;  // bytes of rows held back for the order, at most
constexpr std::size_t kPiece = 65536;        // bytes of rows a worker hands over at once
constexpr auto kProgressLook = std::chrono::milliseconds(250);
enum Table { kSummary, kBrakings, kTables };

// Where a table goes: standard output, or an output file (see OutputFile) written through a
// buffer that keeps why a write failed.
class TableOutput {
  public:
    // Opens the table for `target` ("" for a table not asked for). False with one line in err.
    bool Open(const std::string& name, std::string* err) {
        target = name;
        if (name.empty() || name == "-") {
            stream = name.empty() ? nullptr : &std::cout;
            return true;
        }
        if (!output.Create(name, err)) return false;
        fd = open(output.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) return Failed(errno, err);
        buffer = std::make_unique<FdOutputBuffer>(fd);
        file = std::make_unique<std::ostream>(buffer.get());
        stream = file.get();
        return true;
    }
    // Writes out what is buffered and closes the file. False with one line in err.
    bool Close(std::string* err) {
        if (fd < 0) return true;
        file->flush();
        if (close(fd) != 0 && buffer->failure == 0) buffer->failure = errno;
        fd = -1;
        return buffer->failure == 0 || Failed(buffer->failure, err);
    }
    bool Prepare(std::string* err) { return !file || output.Prepare(err); }
    bool Commit(std::string* err) { return !file || output.Commit(err); }
    std::ostream* stream = nullptr;  // null when the table is not asked for

  private:
    bool Failed(int errnum, std::string* err) {
        *err = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errnum);
        return false;
    }
    std::string target;
    OutputFile output;
    int fd = -1;
    std::unique_ptr<FdOutputBuffer> buffer;
    std::unique_ptr<std::ostream> file;
};

// The turns of logs that are no regular file (a FIFO, a pipe) named more than once: each naming
// is read once the one before it has been, as a reader of the logs one after another would, the
// second finding what the first left, never two at once, each taking a part of the run. The
// earlier naming goes first, so that no worker waits on a log after its own.
class StreamTurns {
  public:
    explicit StreamTurns(const std::vector<std::string>& logs)
        : before(logs.size(), kNone), read(logs.size(), false) {
        std::map<std::pair<dev_t, ino_t>, std::size_t> last;
        for (std::size_t log = 0; log < logs.size(); ++log) {
            struct stat status;
            if (stat(logs[log].c_str(), &status) != 0 || S_ISREG(status.st_mode)) continue;
            auto [named, first] = last.try_emplace({status.st_dev, status.st_ino}, log);
            if (!first) before[log] = std::exchange(named->second, log);
        }
    }
    // Waits until the naming before `log` of the same stream has been read.
    void Await(std::size_t log) {
        if (before[log] == kNone) return;
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return read[before[log]]; });
    }
    void Done(std::size_t log) {
        std::lock_guard<std::mutex> lock(mutex);
        read[log] = true;
        changed.notify_all();
    }

  private:
    static constexpr std::size_t kNone = SIZE_MAX;
    std::vector<std::size_t> before;  // the naming of the same stream before each log, or kNone
    std::vector<bool> read;
    std::mutex mutex;
    std::condition_variable changed;
};

// What the workers share.
struct Run {
    const std::vector<std::string>& logs;
    const BrakingRule& rule;
    bool brakings;  // the brakings table is asked for
    OrderedRows& rows;
    std::atomic<bool> allRead{true};
    StreamTurns turns{logs};
};

// Summarises logs, one after another, until none is left.
void Work(Run& run) {
    LogReader reader;
    std::size_t log = 0;
    while (run.rows.Take(&log)) {
        const std::string& name = run.logs[log];
        // The brakings' rows go out in pieces of kPiece bytes, whose memory is taken once.
        std::string rows;
        rows.reserve(kPiece + 1024);
        std::int64_t number = 0;
        RunSummary summary(run.rule, [&](const Braking& braking) {
            if (!run.brakings) return;
            AppendBrakingRow(name, ++number, braking, &rows);
            if (rows.size() < kPiece) return;
            run.rows.Add(log, kBrakings, std::move(rows));
            rows = std::string();
            rows.reserve(kPiece + 1024);
        });
        std::string err;
        run.turns.Await(log);
        bool read = reader.Read(
            name, RunSummary::Columns(), summary, [&] { return !run.rows.failed(); }, &err);
        run.turns.Done(log);
        if (read) {
            const RunFigures& figures = summary.Finish();
            run.rows.Add(log, kBrakings, std::move(rows));
            std::string row;
            AppendSummaryRow(name, figures, &row);
            run.rows.Add(log, kSummary, std::move(row));
        }
        if (!read) run.allRead = false;
        run.rows.Done(log, read ? "" : err);
    }
}

// The cores this process may run on.
unsigned Cores() {
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof cores, &cores) == 0) return CPU_COUNT(&cores);
    return std::max(1u, std::thread::hardware_concurrency());
}

// Starts the workers, as many as there are cores and logs, and shows the progress until they
// are done. Without any thread to be had, the work is done here.
void RunWorkers(Run& run, std::mutex& console) {
    std::vector<std::thread> workers;
    StartThreadsWithoutSignals([&] {
        try {
            while (workers.size() < std::min<std::size_t>(Cores(), run.logs.size()))
                workers.emplace_back(Work, std::ref(run));
        } catch (const std::system_error&) {  // no more threads: those started do the work
        }
    });
    if (workers.empty()) Work(run);
    while (!run.rows.Finished(kProgressLook)) {
        // Counted before the console is taken: a worker takes the console inside the rows' lock.
        auto done = static_cast<std::int64_t>(run.rows.done());
        std::lock_guard<std::mutex> lock(console);
        ReportLogsDone(done);
    }
    for (std::thread& worker : workers) worker.join();
    ClearProgressLine();
}
}  // namespace

bool WantsTables(const CommandLine& command) {
    return !command.summary.empty() || !command.brakings.empty();
}

bool WriteTables(const CommandLine& command, const BrakingRule& rule,
                 const std::function<void(const std::string& line)>& say, bool* allRead,
                 std::string* err) {
    TableOutput outputs[kTables];
    if (!outputs[kSummary].Open(command.summary, err) ||
        !outputs[kBrakings].Open(command.brakings, err))
        return false;
    if (!command.noHeader) {
        if (std::ostream* out = outputs[kSummary].stream) *out << SummaryHeader();
        if (std::ostream* out = outputs[kBrakings].stream) *out << BrakingsHeader();
    }
    std::mutex console;  // the progress line and the messages, from any thread
    auto sayInOrder = [&](const std::string& line) {
        std::lock_guard<std::mutex> lock(console);
        ClearProgressLine();
        say(line);
    };
    OrderedRows rows({outputs[kSummary].stream, outputs[kBrakings].stream}, command.args.size(),
                     kHeldLimit, sayInOrder);
    Run run{command.args, rule, outputs[kBrakings].stream != nullptr, rows};
    StartLogProgress(static_cast<std::int64_t>(command.args.size()),
                     !(TableToStandardOutput(command) && isatty(STDOUT_FILENO)));
    RunWorkers(run, console);
    *allRead = run.allRead;

    for (TableOutput& output : outputs)
        if (!output.Close(err)) return false;
    if (TableToStandardOutput(command) && !std::cout.flush()) return true;  // no file replaced
    // Both ready before either is replaced, and replaced with the ending signals held, so that
    // the two tables of one run are both the old ones or both the new ones.
    for (TableOutput& output : outputs)
        if (!output.Prepare(err)) return false;
    return WithEndingSignalsHeld([&] {
        for (TableOutput& output : outputs)
            if (!output.Commit(err)) return false;
        return true;
    });
}

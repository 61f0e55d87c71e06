// A run of tables over many logs: the logs read by a worker per core, the rows written in the
// order of the command line.
#include "summaryrun.h"

#include <fcntl.h>
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

#include "logreader.h"
#include "orderedrows.h"
#include "output.h"
#include "progress.h"
#include "signals.h"
#include "sortedrows.h"
#include "summary.h"
#include "text.h"

namespace {
constexpr std::size_t kHeldLimit = 8 << 20;  // bytes of rows held back for the order, at most
constexpr std::size_t kPiece = 65536;        // bytes of rows a worker hands over at once
constexpr auto kProgressLook = std::chrono::milliseconds(250);
enum Table { kSummary, kBrakings, kTables };

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
    // With --sort or --top: each table's rows, sorted once every log is read; else null.
    std::unique_ptr<SortedRows> (&sorted)[kTables];
    std::mutex sorting{};
    std::atomic<bool> allRead{true};
    StreamTurns turns{logs};
};

// A table sorted as --sort and --top ask, or null when neither is given.
std::unique_ptr<SortedRows> Sorted(const TableRequest& request,
                                   const std::vector<std::string>& columns) {
    if (request.sortColumn.empty() && !request.top) return nullptr;
    auto at = std::find(columns.begin(), columns.end(), request.sortColumn);
    std::size_t column =
        at == columns.end() ? SIZE_MAX : static_cast<std::size_t>(at - columns.begin());
    bool words = request.sortColumn == "log" || request.sortColumn == "stopped";
    return std::make_unique<SortedRows>(column, words, request.descending, request.top);
}

// A run's summary, of no use once a table cannot be written: the rest of its log goes unread.
class WantedSummary : public RunSummary {
  public:
    WantedSummary(const Run& run, const BrakingRule& rule, BrakingFinder::Found found,
                  ColumnSet& columns)
        : RunSummary(rule, std::move(found), columns), run(run) {}
    bool Satisfied() const override { return run.rows.failed(); }

  private:
    const Run& run;
};

// Summarises logs, one after another, until none is left.
void Work(Run& run) {
    std::size_t log = 0;
    while (run.rows.Take(&log)) {
        const std::string& name = run.logs[log];
        // The brakings' rows go out in pieces of kPiece bytes, whose memory is taken once.
        std::string rows;
        rows.reserve(kPiece + 1024);
        std::int64_t number = 0;
        LogReader reader(name);
        // Sorted rows wait here until the log is read whole, so that a failed log adds none.
        std::unique_ptr<SortedRows> sorted[kTables];
        for (int table = 0; table < kTables; ++table)
            if (run.sorted[table])
                sorted[table] = std::make_unique<SortedRows>(run.sorted[table]->Like());
        WantedSummary summary(
            run, run.rule,
            [&](const Braking& braking) {
                if (!run.brakings) return;
                ++number;
                if (sorted[kBrakings]) {
                    sorted[kBrakings]->Add(log, number, BrakingFields(name, number, braking));
                    return;
                }
                AppendBrakingRow(name, number, braking, &rows);
                if (rows.size() < kPiece) return;
                run.rows.Add(log, kBrakings, std::move(rows));
                rows = std::string();
                rows.reserve(kPiece + 1024);
            },
            reader.columns());
        reader.Add(summary);
        reader.ShowProgress(false);  // the run's line counts the logs
        // The cores left over by the run's workers read the log in parts: all of them for one log.
        reader.UseWorkers(
            static_cast<unsigned>(std::max<std::size_t>(1, UsableCores() / run.logs.size())));
        std::string err;
        run.turns.Await(log);
        bool read = reader.Start(false, &err);
        run.turns.Done(log);
        if (read) {
            const RunFigures& figures = summary.Finish();
            run.rows.Add(log, kBrakings, std::move(rows));
            std::string row;
            if (sorted[kSummary])
                sorted[kSummary]->Add(log, 0, SummaryFields(name, figures));
            else
                AppendSummaryRow(name, figures, &row);
            run.rows.Add(log, kSummary, std::move(row));
            std::lock_guard<std::mutex> lock(run.sorting);
            for (int table = 0; table < kTables; ++table)
                if (sorted[table]) run.sorted[table]->Merge(std::move(*sorted[table]));
        }
        if (!read) run.allRead = false;
        run.rows.Done(log, read ? "" : err);
    }
}

// Starts the workers, as many as there are cores and logs, and shows the progress until they
// are done. Without any thread to be had, the work is done here.
void RunWorkers(Run& run, std::mutex& console) {
    std::vector<std::thread> workers;
    StartThreadsWithoutSignals([&] {
        try {
            while (workers.size() < std::min<std::size_t>(UsableCores(), run.logs.size()))
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

bool WriteTables(const TableRequest& request, const BrakingRule& rule,
                 const std::function<void(const std::string& line)>& say, bool* allRead,
                 std::string* err) {
    // Each table's outputs, and the streams its rows go to.
    std::vector<std::unique_ptr<Output>> outputs[kTables];
    std::vector<std::ostream*> streams[kTables];
    const std::vector<std::string>* targets[kTables] = {&request.summaries, &request.brakings};
    const std::string headers[kTables] = {SummaryHeader(), BrakingsHeader()};
    std::unique_ptr<SortedRows> sorted[kTables] = {Sorted(request, SummaryColumns()),
                                                   Sorted(request, BrakingsColumns())};
    bool toStandardOutput = false;
    for (int table = 0; table < kTables; ++table)
        for (const std::string& target : *targets[table]) {
            outputs[table].push_back(std::make_unique<Output>());
            Output& output = *outputs[table].back();
            if (!output.Open(target, err)) return false;
            if (!request.noHeader) output.stream() << headers[table];
            streams[table].push_back(&output.stream());
            toStandardOutput = toStandardOutput || target == "-";
        }
    std::mutex console;  // the progress line and the messages, from any thread
    auto sayInOrder = [&](const std::string& line) {
        std::lock_guard<std::mutex> lock(console);
        ClearProgressLine();
        say(line);
    };
    // A sorted table's rows are written once all are in: the rows in order go nowhere.
    auto inOrder = [&](int table) {
        return sorted[table] ? std::vector<std::ostream*>() : streams[table];
    };
    OrderedRows rows({inOrder(kSummary), inOrder(kBrakings)}, request.logs.size(), kHeldLimit,
                     sayInOrder);
    Run run{request.logs, rule, !streams[kBrakings].empty(), rows, sorted};
    StartLogProgress(static_cast<std::int64_t>(request.logs.size()),
                     !(toStandardOutput && isatty(STDOUT_FILENO)));
    RunWorkers(run, console);
    *allRead = run.allRead;
    for (int table = 0; table < kTables; ++table) {
        if (!sorted[table] || rows.failed()) continue;
        const std::string csv = sorted[table]->Csv();
        for (std::ostream* stream : streams[table]) stream->write(csv.data(), csv.size());
    }

    // Every table ready on disk before any is replaced, and replaced with the ending signals
    // held, so that the tables of one run are all the old ones or all the new ones. A table on
    // standard output that could not be written leaves every file as it was.
    for (auto& table : outputs)
        for (auto& output : table)
            if (!output->Finish(err)) return false;
    if (toStandardOutput && StandardOutputBuffer().failure != 0) return true;
    return WithEndingSignalsHeld([&] {
        for (auto& table : outputs)
            for (auto& output : table)
                if (!output->Commit(err)) return false;
        return true;
    });
}

// The explorer's data: the runs served, their summaries and brakings kept up to date as the logs
// grow, the runs opened for their samples, and the answers the routes give as JSON, CSV or files.
#include "servedata.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>

#include "batch.h"
#include "export.h"
#include "number.h"
#include "signals.h"
#include "summary.h"
#include "tempfiles.h"
#include "text.h"

namespace {
constexpr auto kFollowPeriod = std::chrono::milliseconds(500);  // between looks at the logs
constexpr auto kFollowShare = std::chrono::milliseconds(50);    // a look's time for one log

bool EndsWithDat(const std::string& name) {
    return name.size() > 4 && LowercaseAscii(name.substr(name.size() - 4)) == ".dat";
}

// A text as a JSON string: escaped, and well-formed UTF-8 (bytes that are not shown as \xHH).
std::string JsonString(const std::string& text) {
    return nlohmann::json(PrintableUtf8(text)).dump();
}

// Whether `text` is a number as JSON writes one: what a table's field may be put in as it is.
bool IsJsonNumber(const std::string& text) {
    std::size_t i = text[0] == '-' ? 1 : 0;
    auto digits = [&] {
        std::size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i > from;
    };
    if (!digits()) return false;
    if (i < text.size() && text[i] == '.' && (++i, !digits())) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == text.size();
}

// The fields of one CSV row (RFC 4180, as AppendCsvRow writes it), without its line feed.
std::vector<std::string> CsvFields(const std::string& row) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        char c = row[i];
        if (quoted && c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else if (c != '\n' || quoted) {
            fields.back() += c;
        }
    }
    return fields;
}

// A table's row as JSON members, named by the header's columns: the log a string, "stopped" a
// boolean, an empty field null, a number as the table writes it.
std::string JsonMembers(const std::string& header, const std::string& row) {
    std::vector<std::string> names = CsvFields(header), fields = CsvFields(row);
    std::string json;
    for (std::size_t i = 0; i < names.size() && i < fields.size(); ++i) {
        const std::string& field = fields[i];
        json += (json.empty() ? "\"" : ",\"") + names[i] + "\":";
        if (names[i] == "log")
            json += JsonString(field);
        else if (field == "true" || field == "false")
            json += field;
        else
            json += !field.empty() && IsJsonNumber(field) ? field : "null";
    }
    return json;
}

const char* StateName(LogState state) {
    switch (state) {
        case LogState::kTruncated:
            return "truncated";
        case LogState::kReplaced:
            return "replaced";
        case LogState::kGone:
            return "gone";
        case LogState::kLive:
            break;
    }
    return "live";
}

// Why `log` cannot be served, or "": the explorer reads a log again and again, so it must be a
// regular file.
std::string Unservable(const std::string& log) {
    std::string err;
    if (!CheckLogReadable(log, &err)) return err;
    struct stat status;
    if (stat(log.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        return "plovo: cannot serve log '" + Printable(log) + "': not a regular file";
    return "";
}
}  // namespace

Answer Refusal(int status, const std::string& why) {
    return {status, "application/json", "{\"error\":" + JsonString(why) + "}", ""};
}

std::vector<std::string> ServedLogs(const std::vector<std::string>& paths,
                                    std::vector<std::string>* problems) {
    std::vector<std::string> logs;
    for (const std::string& path : paths) {
        struct stat status;
        if (stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
            logs.push_back(path);
            continue;
        }
        DIR* dir = opendir(path.c_str());
        if (dir == nullptr) {
            problems->push_back("plovo: cannot list folder '" + Printable(path) +
                                "': " + std::strerror(errno));
            continue;
        }
        std::vector<std::string> names;
        while (dirent* entry = readdir(dir))
            if (EndsWithDat(entry->d_name)) names.push_back(entry->d_name);
        closedir(dir);
        std::sort(names.begin(), names.end());
        std::string folder = path.back() == '/' ? path : path + "/";
        for (const std::string& name : names) logs.push_back(folder + name);
    }
    return logs;
}

// A run: its log, its summary followed as the log grows, and its samples once opened.
struct ServedRuns::Run : public LineConsumer {
    Run(const std::string& name, const BrakingRule& rule) : log(name), rule(rule), reader(name) {
        reader.Add(*this);
        reader.ShowProgress(false);
        // The summaries take a core each; the cores a run opened for its view waits on are its own.
        reader.UseWorkers(1);
        Restart();
    }
    void OnLine(const LogLine& line) override { summary->OnLine(line); }
    void Restart() override {
        brakingRows.clear();
        summary = std::make_unique<RunSummary>(
            rule,
            [this](const Braking& braking) {
                AppendBrakingRow(log, static_cast<std::int64_t>(++brakings), braking, &brakingRows);
                starts.push_back(braking.startTime);
            },
            reader.columns());
        brakings = 0;
        starts.clear();
    }
    // The times the brake applications start at, the one going on included, in their order.
    std::vector<double> BrakingStarts() const {
        std::optional<Braking> going;
        summary->Now(&going);
        std::vector<double> all = starts;
        if (going) all.push_back(going->startTime);
        return all;
    }
    // The summary row and the brakings' rows were the run to end now.
    void Rows(std::string* summaryRow, std::string* brakingsRows) const {
        std::optional<Braking> going;
        RunFigures figures = summary->Now(&going);
        *brakingsRows = brakingRows;
        if (going)
            AppendBrakingRow(log, static_cast<std::int64_t>(brakings + 1), *going, brakingsRows);
        summaryRow->clear();
        AppendSummaryRow(log, figures, summaryRow);
    }

    const std::string log;
    const BrakingRule rule;
    std::mutex mutex;  // everything below but the store
    LogReader reader;
    std::unique_ptr<RunSummary> summary;
    std::string brakingRows;     // of the applications ended
    std::vector<double> starts;  // s: their first records' times
    std::size_t brakings = 0;
    bool summarised = false;
    std::string error;  // why the log cannot be served, "" while it can
    LogState state = LogState::kLive;
    // Its samples, once opened. A lock of its own: opening a long log takes a while, and the
    // runs' list and the other logs' following must not wait for it.
    std::mutex opening;
    std::unique_ptr<RunStore> store;
};

ServedRuns::ServedRuns(const std::vector<std::string>& logs, const BrakingRule& analysis,
                       std::function<void(const std::string&)> sayLine)
    : rule(analysis), say(std::move(sayLine)) {
    for (const std::string& log : logs) runs.push_back(std::make_unique<Run>(log, rule));
}

ServedRuns::~ServedRuns() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    for (std::thread& thread : threads) thread.join();
}

void ServedRuns::Start() {
    StartThreadsWithoutSignals([&] {
        unsigned workers = std::max(1u, std::min<unsigned>(Cores(), runs.size()));
        for (unsigned i = 0; i < workers; ++i) threads.emplace_back(&ServedRuns::Summarise, this);
        threads.emplace_back(&ServedRuns::FollowAll, this);
    });
}

// Summarises runs, one after another, until none is left.
void ServedRuns::Summarise() {
    for (std::size_t i; (i = next++) < runs.size();) {
        Run& run = *runs[i];
        // Read without the run's lock, which /api/runs takes: until `summarised` is set no one
        // else touches the reader or the summary, and the run reads as pending meanwhile.
        std::string err = Unservable(run.log);
        if (err.empty() && !run.reader.Start(true, &err) && err.empty()) err = "unreadable";
        {
            std::lock_guard<std::mutex> lock(run.mutex);
            run.error = err;
            run.summarised = true;
        }
        if (!err.empty()) say(err);
        std::lock_guard<std::mutex> lock(mutex);
        ++done;
        changed.notify_all();
    }
}

// Looks at every log summarised, and every run opened, twice a second, until stopped.
void ServedRuns::FollowAll() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!changed.wait_for(lock, kFollowPeriod, [&] { return stopping; })) {
        lock.unlock();
        for (auto& each : runs) {
            Run& run = *each;
            std::lock_guard<std::mutex> runLock(run.mutex);
            if (!run.summarised || !run.error.empty()) continue;
            auto deadline = std::chrono::steady_clock::now() + kFollowShare;
            std::string err;
            FollowResult result = run.reader.Follow(deadline, &err);
            // A log no longer followed (its name became a folder, a file that cannot be read)
            // stays gone: nothing it gains will be read.
            if (result.stopped || !run.reader.following() || !run.reader.accessible())
                run.state = LogState::kGone;
            else if (result.startedOver)
                run.state = result.notice.find("replaced") != std::string::npos
                                ? LogState::kReplaced
                                : LogState::kTruncated;
            else if (run.state == LogState::kGone)
                run.state = LogState::kLive;
            // A store being opened takes everything there is: it is followed at the next look.
            std::unique_lock<std::mutex> storeLock(run.opening, std::try_to_lock);
            if (storeLock && run.store) run.store->Follow(deadline);
        }
        lock.lock();
    }
}

std::string ServedRuns::Unreadable(Run& run) {
    std::lock_guard<std::mutex> lock(run.mutex);
    return run.error;
}

ServedRuns::Run* ServedRuns::Find(int id) {
    return id >= 1 && id <= size() ? runs[id - 1].get() : nullptr;
}

std::string ServedRuns::RunJson(Run& run) {
    std::lock_guard<std::mutex> lock(run.mutex);
    std::string json = "{\"log\":" + JsonString(run.log) +
                       ",\"readable\":" + (run.error.empty() ? "true" : "false");
    if (!run.summarised) return json + ",\"pending\":true}";
    if (!run.error.empty()) return json + ",\"error\":" + JsonString(run.error) + "}";
    std::string row, brakings;
    run.Rows(&row, &brakings);
    // The summary's columns after the log's name, which the run's own members give.
    std::string members = JsonMembers(SummaryHeader(), row);
    return json + ",\"state\":\"" + StateName(run.state) + "\"" +
           members.substr(members.find(',')) + "}";
}

Answer ServedRuns::Runs(bool csv) {
    if (!csv) {
        std::string json = "[";
        for (int id = 1; id <= size(); ++id) {
            std::string run = RunJson(*runs[id - 1]);
            json += (id > 1 ? ",{\"id\":" : "{\"id\":") + std::to_string(id) + "," + run.substr(1);
        }
        return {200, "application/json", json + "]", ""};
    }
    // As --summary - writes it: every summary done, no row for a log that cannot be read.
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return done == runs.size() || stopping; });
    }
    std::string table = SummaryHeader();
    for (auto& each : runs) {
        std::lock_guard<std::mutex> lock(each->mutex);
        if (!each->error.empty()) continue;
        std::string row, brakings;
        each->Rows(&row, &brakings);
        table += row;
    }
    return {200, "text/csv; charset=utf-8", table, ""};
}

Answer ServedRuns::Brakings(int id, bool csv) {
    Run* run = Find(id);
    if (run == nullptr) return Refusal(404, "no run " + std::to_string(id));
    std::unique_lock<std::mutex> lock(run->mutex);
    if (!run->summarised) return Refusal(503, "run " + std::to_string(id) + " is being read");
    if (!run->error.empty()) return Refusal(404, run->error);
    std::string row, rows;
    run->Rows(&row, &rows);
    lock.unlock();
    if (csv) return {200, "text/csv; charset=utf-8", BrakingsHeader() + rows, ""};
    std::string json = "[";
    const std::string header = BrakingsHeader();
    for (std::size_t from = 0, lf; (lf = rows.find('\n', from)) != std::string::npos; from = lf + 1)
        json += (from ? ",{" : "{") + JsonMembers(header, rows.substr(from, lf - from)) + "}";
    return {200, "application/json", json + "]", ""};
}

// The run's samples of `charts`, opened at the first request for them (one reading of the log,
// followed from then on), read again for chart types asked for later; null with one line in err
// when they cannot be.
RunStore* ServedRuns::Opened(Run& run, const std::vector<std::size_t>& charts, Answer* refusal) {
    {
        std::lock_guard<std::mutex> lock(run.mutex);
        if (!run.error.empty()) {
            *refusal = Refusal(404, run.error);
            return nullptr;
        }
    }
    std::lock_guard<std::mutex> lock(run.opening);
    std::string err;
    if (!run.store) {
        auto store = std::make_unique<RunStore>(run.log);
        if (store->Open(charts, &err)) run.store = std::move(store);
    }
    if (run.store && run.store->Fill(charts, &err)) {
        err = run.store->Failure();  // cut short as it followed the log
        if (err.empty()) return run.store.get();
    }
    // The log gone since its summary, a temporary file that cannot be written: the server's.
    *refusal = Refusal(500, err);
    return nullptr;
}

Answer ServedRuns::Sample(int id, double at) {
    Run* run = Find(id);
    if (run == nullptr) return Refusal(404, "no run " + std::to_string(id));
    std::string json;
    std::vector<std::size_t> every(ServedChannels().size());
    for (std::size_t c = 0; c < every.size(); ++c) every[c] = c;
    Answer refusal;
    RunStore* store = Opened(*run, every, &refusal);
    if (store == nullptr) return refusal;
    if (!store->SampleJson(at, &json))
        return Refusal(404, "run " + std::to_string(id) + " has no sample at " + ExactText(at) +
                                " s or later");
    return {200, "application/json", json, ""};
}

Answer ServedRuns::Series(int id, const SeriesQuery& query) {
    Run* run = Find(id);
    if (run == nullptr) return Refusal(404, "no run " + std::to_string(id));
    Answer refusal;
    RunStore* store = Opened(*run, query.charts, &refusal);
    if (store == nullptr) return refusal;
    return {200, "application/json", store->SeriesJson(query), ""};
}

namespace {
// A private file the answer's bytes are written to, `suffix` its extension.
bool AnswerFile(const std::string& suffix, Answer* answer, std::string* err) {
    int fd = -1;
    if (!CreatePrivateFile(suffix, &fd, &answer->file, err)) return false;
    close(fd);
    return true;
}

std::vector<Channel> ChannelsOf(const std::vector<std::size_t>& charts) {
    std::vector<Channel> channels;
    for (std::size_t chart : charts) channels.push_back(ServedChannels()[chart]);
    return channels;
}

// The stretch a saved view asks for: from --at to --to, or the whole run.
StretchChoice SavedStretch(const SaveQuery& query) {
    return {1, query.at, query.to.value_or(std::numeric_limits<double>::max())};
}
}  // namespace

Answer ServedRuns::Plot(int id, const std::string& extension, const SaveQuery& query) {
    Run* run = Find(id);
    if (run == nullptr) return Refusal(404, "no run " + std::to_string(id));
    Run* other = query.compare ? Find(query.compare->first) : nullptr;
    if (query.compare && other == nullptr)
        return Refusal(404, "no run " + std::to_string(query.compare->first) + " to compare");
    std::string err = Unreadable(*run);
    if (err.empty() && other != nullptr) err = Unreadable(*other);
    if (!err.empty()) return Refusal(404, err);
    Answer answer;
    BatchRequest request;
    request.plot.x = query.distance ? XAxis::kDistance : XAxis::kTime;
    request.plot.stretch = SavedStretch(query);
    request.plot.rule = rule;
    request.at = query.at;  // where the plot's records begin: the batch takes it from here
    if (other != nullptr) {
        // As the page draws it: the compared braking's application on this run's first in the
        // view, or on the view's start when it has none.
        std::vector<double> starts;
        {
            std::lock_guard<std::mutex> lock(other->mutex);
            starts = other->BrakingStarts();
        }
        int braking = query.compare->second;
        if (braking > static_cast<int>(starts.size()))
            return Refusal(404, "run " + std::to_string(query.compare->first) + " has no braking " +
                                    std::to_string(braking));
        request.plot.compare = other->log;
        // By its number: a log whose time starts again has its start time more than once.
        request.plot.compareBraking = braking;
        std::lock_guard<std::mutex> lock(run->mutex);
        std::vector<double> own = run->BrakingStarts();
        bool inView = std::any_of(own.begin(), own.end(), [&](double start) {
            return start >= query.at.value_or(-INFINITY) && start <= query.to.value_or(INFINITY);
        });
        request.plot.origin = inView ? Origin::kBrake : Origin::kStart;
    }
    std::lock_guard<std::mutex> lock(saving);
    if (!AnswerFile("." + extension, &answer, &err)) return Refusal(500, err);
    request.plot.paths = {answer.file};
    auto quiet = [](const std::string&) {};  // the page says what the picture leaves out
    if (!WriteBatch(request, run->log, ChannelsOf(query.charts), quiet, &err)) {
        RemoveRegisteredFile(answer.file);
        return Refusal(500, err);
    }
    answer.type = extension == "png"   ? "image/png"
                  : extension == "svg" ? "image/svg+xml"
                                       : "application/pdf";
    return answer;
}

Answer ServedRuns::Export(int id, const SaveQuery& query) {
    Run* run = Find(id);
    if (run == nullptr) return Refusal(404, "no run " + std::to_string(id));
    std::string err = Unreadable(*run);
    if (!err.empty()) return Refusal(404, err);
    Answer answer;
    std::lock_guard<std::mutex> lock(saving);
    if (!AnswerFile(".csv", &answer, &err)) return Refusal(500, err);
    ExportRequest request;
    request.targets = {answer.file};
    request.stretch = SavedStretch(query);
    request.rule = rule;
    if (!StreamExport(request, run->log, ChannelsOf(query.charts), &err)) {
        RemoveRegisteredFile(answer.file);
        return Refusal(500, err);
    }
    answer.type = "text/csv; charset=utf-8";
    return answer;
}

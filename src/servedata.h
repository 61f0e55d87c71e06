// The explorer's data: the runs served, their summaries and brakings kept up to date as the logs
// grow, the runs opened for their samples, and the answers the routes give as JSON, CSV or files.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "braking.h"
#include "runstore.h"

// The logs the paths name, in order: a log as given, a folder's files whose names end in .dat (in
// any case), sorted by name. A folder that cannot be listed goes into `problems` with its reason.
std::vector<std::string> ServedLogs(const std::vector<std::string>& paths,
                                    std::vector<std::string>* problems);

// An answer to a request: its status and body, or a file whose bytes are the body (a temporary
// file the answer's owner removes).
struct Answer {
    int status = 200;
    std::string type = "application/json";
    std::string body;
    std::string file;
};

// An answer that refuses a request: `status` and {"error": "<why>"}.
Answer Refusal(int status, const std::string& why);

// What a request for a report picture or the samples as CSV asks for.
struct SaveQuery {
    std::vector<std::size_t> charts;             // places in ServedChannels
    std::optional<double> at, to;                // s
    bool distance = false;                       // the plot against distance
    std::optional<std::pair<int, int>> compare;  // another run's id and its braking's number
};

class ServedRuns {
  public:
    // `say` writes a line for the user (a log that cannot be read).
    ServedRuns(const std::vector<std::string>& logs, const BrakingRule& rule,
               std::function<void(const std::string&)> say);
    ~ServedRuns();

    // Summarises the runs, by a worker per core, then follows them every second, until
    // destroyed.
    void Start();
    int size() const { return static_cast<int>(runs.size()); }

    // GET /api/runs and /api/runs.csv (the latter once every summary is done).
    Answer Runs(bool csv);
    // GET /api/runs/ID/brakings[.csv].
    Answer Brakings(int id, bool csv);
    // GET /api/runs/ID/sample and /series: the run is opened at the first.
    Answer Sample(int id, double at);
    Answer Series(int id, const SeriesQuery& query);
    // GET /api/runs/ID/plot.png|svg|pdf and /export.csv: written as the batch outputs write them,
    // into a temporary file.
    Answer Plot(int id, const std::string& extension, const SaveQuery& query);
    Answer Export(int id, const SaveQuery& query);

  private:
    struct Run;
    Run* Find(int id);
    // Why the run's log cannot be served, as its summary found; "" while it can (or is not
    // summarised yet).
    std::string Unreadable(Run& run);
    // The run's store with `charts` read; null with the refusal: 404 for a log that cannot be
    // read, 500 when the store cannot be made or was cut short.
    RunStore* Opened(Run& run, const std::vector<std::size_t>& charts, Answer* refusal);
    void Summarise();
    void FollowAll();
    std::string RunJson(Run& run);

    BrakingRule rule;
    std::function<void(const std::string&)> say;
    std::vector<std::unique_ptr<Run>> runs;
    std::atomic<std::size_t> next{0};  // the next run a worker summarises
    std::mutex mutex;                  // `done` and `stopping`
    std::condition_variable changed;
    std::size_t done = 0;  // runs summarised
    bool stopping = false;
    std::vector<std::thread> threads;
    std::mutex saving;  // the batch outputs use the process's globals: one save at a time
};

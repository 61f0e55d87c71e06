// The one reader of logs: a log read once, or followed as it grows, its data lines handed to the
// consumers that asked for their columns.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "logidentity.h"
#include "readahead.h"
#include "scanner.h"

// The columns a pass cuts out of each line: every one a consumer asked for, each once.
class ColumnSet {
  public:
    // The place of `column` (1-based) among a line's fields, added when it is not there yet.
    std::size_t Field(int column);
    const std::vector<int>& columns() const { return columns_; }

  private:
    std::vector<int> columns_;
};

// One data line as a consumer takes it: its number (1-based) and the fields of the pass's columns,
// with their numbers when a worker parsed them ahead.
struct LogLine {
    std::int64_t record = 0;
    const FieldText* fields = nullptr;
    const double* numbers = nullptr;  // the fields as atof reads them, or none
    // The field at `field` as atof reads it.
    double Number(std::size_t field) const;
};

// What a pass over a log produces: each consumer takes the lines in order.
class LineConsumer {
  public:
    virtual void OnLine(const LogLine& line) = 0;
    // True once the consumer needs no later line (its stretch has ended, its output failed):
    // reading stops when every consumer is.
    virtual bool Satisfied() const { return false; }
    // Forgets every line taken: a followed log started over with a new run.
    virtual void Restart() {}

  protected:
    // Virtual, so that a consumer held by its own type can be deleted (clang warns otherwise).
    virtual ~LineConsumer() = default;
};

// What a call to LogReader::Follow found.
struct FollowResult {
    bool startedOver = false;  // the log was truncated or replaced: the lines are the new log's
    bool stopped = false;      // a failure stopped following; the lines taken stay
    // One line for the user when the log became inaccessible or accessible again, was
    // truncated, rewritten or replaced; "" when nothing of the kind happened.
    std::string notice;
};

// Reads the log at one path in blocks, its header skipped as it comes (so FIFOs work too), every
// data line cut to the consumers' columns and handed to each consumer in turn. Kept open while
// followed, with what tells the run it read growing from a new run written over it.
class LogReader {
  public:
    explicit LogReader(const std::string& path);
    ~LogReader();
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;

    // Where consumers ask for their columns, before Start.
    ColumnSet& columns() { return columns_; }
    // Adds a consumer, before Start; it must outlive the reader's use.
    void Add(LineConsumer& consumer);
    // Whether Start shows the progress line while it reads (it does unless told not to): a run
    // over many logs shows its own.
    void ShowProgress(bool shown) { progress = shown; }
    // How many workers Start may read a regular file with, `chunk` bytes each at a time (see
    // ReadAhead), before reading on one line after another from where they stop. One reads the
    // file in place; without a call, a worker per core does, when the file holds four chunks.
    void UseWorkers(unsigned workers, std::size_t chunk = kChunkSize) {
        aheadWorkers = workers;
        aheadChunk = chunk;
    }

    // Reads the log as it is now. When `follow`, only lines ended by a line feed count (the rest
    // waits for Follow), a FIFO gives what it holds now, and the log stays open; otherwise a last
    // line without its line feed counts too and the log is closed. Stops early once every
    // consumer is satisfied. False with one line in err when the log cannot be opened or read.
    bool Start(bool follow, std::string* err);

    // Takes the complete lines the log has gained, until it has caught up or `deadline` has passed
    // (after one block at least); the next call goes on from there. A log that no longer holds
    // what LogIdentity keeps of what was read (truncated, or rewritten in place, however far), or
    // another file at its path, starts over: every consumer restarts and takes the new log from
    // its first line. While the path names no file, nothing changes. A failed read, or a path
    // naming a file that cannot be opened, stops following (result.stopped) with one line in err.
    FollowResult Follow(std::chrono::steady_clock::time_point deadline, std::string* err);
    // Ends following and closes the log.
    void Stop();

    bool following() const { return follows; }
    // False while the followed path names no file.
    bool accessible() const { return !inaccessible; }
    // The data lines handed over since the start, or since the log started over.
    std::int64_t lines() const;
    const std::string& path() const { return path_; }

  private:
    enum class Read { kEnd, kLater, kFailed };
    Read ReadOn(std::chrono::steady_clock::time_point deadline);
    Read ReadInParts();
    bool Satisfied() const;
    bool TakeNew(std::chrono::steady_clock::time_point deadline, FollowResult& result);
    bool GoneAway(FollowResult& result);
    bool Reopen();
    void Watch();
    bool StartOver(std::chrono::steady_clock::time_point deadline);
    std::string Notice(const char* what) const;

    class Fanout;
    std::string path_;
    ColumnSet columns_;
    std::vector<LineConsumer*> consumers;
    std::unique_ptr<Fanout> fanout;
    std::unique_ptr<ColumnScanner> scanner;
    int log = -1;
    LogIdentity identity;
    bool inaccessible = false;
    std::int64_t headerLeft = kHeaderSize;
    std::vector<char> block;
    bool follows = false;
    bool progress = true;
    unsigned aheadWorkers = 0;  // 0: a worker per core
    std::size_t aheadChunk = kChunkSize;
    int readErrno = 0;
};

// Refuses a log that cannot be opened for reading (missing, not permitted, a folder) with the
// line the reader would give, before anything is read. It only looks: a FIFO is not opened, so
// that its writer is not woken for nothing.
bool CheckLogReadable(const std::string& logName, std::string* err);

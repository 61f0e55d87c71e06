// The one pass over the log into the temporary files, going on while a followed log grows.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "scanner.h"

// What a call to LogExtraction::Follow did.
struct FollowResult {
    bool startedOver = false;  // the log was truncated or replaced: the records are the new log's
    bool stopped = false;      // a failure stopped following; the records taken stay
};

// The extraction of column `column` (at least 1) of a log into a new temporary file, and of the
// time column into a second one in the same pass (the same file for column 1), kept so that it
// can go on while the log grows: the log open with its offset, the scanner's state, the header
// still to skip, both files appended in step. The temporary files outlive it (RemoveTempFile
// removes them).
class LogExtraction {
  public:
    LogExtraction(const char* logName, int column);
    ~LogExtraction();
    LogExtraction(const LogExtraction&) = delete;
    LogExtraction& operator=(const LogExtraction&) = delete;

    // Extracts the log as it is now and adds its records to iFc. When `follow`, only lines ended
    // by a line feed count (the rest waits for Follow), a FIFO gives what it holds now, and the
    // log stays open; otherwise a last line without its line feed counts too and all is closed.
    // False with one line in err, and no temporary file left.
    bool Start(bool follow, std::string* err);

    // Takes the complete lines the log has gained into the temporary files and iFc, until it has
    // caught up or `deadline` has passed (after one block of the log at least); the next call
    // goes on from there. A log that no longer holds the last bytes read before its offset
    // (truncated, or rewritten in place, however far), or another file at its path, starts
    // over: iFc goes back to 0 and the temporary files are emptied and refilled from the new
    // log. While the path names no file (a missing name along it), nothing changes. On a failure
    // following stops, the temporary files keep the iFc records taken, and err holds one line;
    // a path naming a file that cannot be opened is such a failure.
    FollowResult Follow(std::chrono::steady_clock::time_point deadline, std::string* err);

    // Started with `follow` and not stopped since.
    bool following() const;
    // The finite sample of largest magnitude of the records counted in iFc, with its sign (0.0
    // when none), and their range.
    double extreme() const;
    const SampleRange& range() const;

  private:
    struct State;
    std::unique_ptr<State> state;
};

// Runs a LogExtraction once to the log's end: adds the number of records to iFc and returns the
// extreme sample (0.0 when there is none); `range`, when given, gets the column's smallest and
// largest samples. On failure it returns 0.0, err holds one line naming what failed and why,
// and no temporary file is left.
double MakeTempFile(const char* logName, int column, std::string* err,
                    SampleRange* range = nullptr);

// The one pass over the log into the temporary files, going on while a followed log grows.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "charttypes.h"
#include "figures.h"

// What a call to LogExtraction::Follow did.
struct FollowResult {
    bool startedOver = false;  // the log was truncated or replaced: the records are the new log's
    bool stopped = false;      // a failure stopped following; the records taken stay
    // One line for the user when the log became inaccessible or accessible again, was
    // truncated, rewritten or replaced; "" when nothing of the kind happened.
    std::string notice;
};

// The extraction of channels of a log into temporary files of 23-byte records, one file per
// channel and one for the time column (none when the only channel is the time column), all in
// one pass, kept so that it can go on while the log grows: the log open with its offset, the
// scanner's state, the header still to skip, the derived channels' running values, the files
// appended in step. A measured channel's record is its field as the log holds it; a derived
// channel's is its value exactly, as HexText writes it. The files stay open for reading (file())
// and are removed with the extraction, or by RemoveTempFile.
class LogExtraction {
  public:
    // kFiguresOnly writes no file and takes only the first channel's figures, for a run that
    // reads no record back (--stats alone).
    enum class Records { kWritten, kFiguresOnly };
    LogExtraction(const char* logName, const std::vector<Channel>& channels,
                  Records records = Records::kWritten);
    ~LogExtraction();
    LogExtraction(const LogExtraction&) = delete;
    LogExtraction& operator=(const LogExtraction&) = delete;

    // Extracts the log as it is now. When `follow`, only lines ended by a line feed count (the
    // rest waits for Follow), a FIFO gives what it holds now, and the log stays open; otherwise
    // a last line without its line feed counts too and the log is closed. False with one line
    // in err, and no temporary file left.
    bool Start(bool follow, std::string* err);

    // Takes the complete lines the log has gained into the temporary files, until it has caught
    // up or `deadline` has passed (after one block of the log at least); the next call goes on
    // from there. A log that no longer holds what LogIdentity keeps of what was read (truncated,
    // or rewritten in place, however far), or another file at its path, starts over: the
    // records go back to none and the files are emptied and refilled from the new log. While the
    // path names no file (a missing name along it), nothing changes. On a failure following
    // stops, the files keep the records taken, and err holds one line; a path naming a file that
    // cannot be opened is such a failure.
    FollowResult Follow(std::chrono::steady_clock::time_point deadline, std::string* err);

    // Started with `follow` and not stopped since.
    bool following() const;
    // False while the followed path names no file.
    bool accessible() const;
    // The records in the files.
    std::int64_t records() const;
    // The first channel's finite sample of largest magnitude, with its sign (0.0 when none), and
    // its range.
    double extreme() const;
    const SampleRange& range() const;
    // The first channel's figures over all the records.
    StretchFigures figures() const;
    // Has the extraction take the first channel's figures over this stretch too (before Start),
    // and gives them.
    void Choose(const StretchChoice& choice);
    StretchFigures chosenFigures() const;
    // Has the extraction write the records of `stretch` to `out` as CSV rows as they are made
    // (before Start; see RecordMaker::StreamRows).
    void StreamRows(std::ostream* out, const StretchChoice& stretch);

    // Descriptors of the files, open for reading: a channel's (in the order given) and the time
    // column's (the channel's own when it is the time column). -1 before Start.
    int file(std::size_t channel) const;
    int timeFile() const;
    // Their paths.
    const std::string& path(std::size_t channel) const;
    const std::string& timePath() const;

  private:
    struct State;
    std::unique_ptr<State> state;
};

// Refuses a log that cannot be opened for reading (missing, not permitted, a folder) with the
// line the extraction would give, before anything is read. It only looks: a FIFO is not opened,
// so that its writer is not woken for nothing.
bool CheckLogReadable(const std::string& logName, std::string* err);

// Extracts chart type `column` (at least 1) of a log once to its end, adds the number of records
// to iFc, has czytaj and RecordTime read the new files, and returns the extreme sample (0.0 when
// there is none); `range`, when given, gets the column's smallest and largest samples. The files
// stay until the next call or RemoveTempFile. On failure it returns 0.0, err holds one line
// naming what failed and why, and no temporary file is left.
double MakeTempFile(const char* logName, int column, std::string* err,
                    SampleRange* range = nullptr);
// The same for any channel.
double MakeTempFile(const char* logName, const Channel& channel, std::string* err,
                    SampleRange* range = nullptr);
// The paths of the files of the last MakeTempFile: the samples and the times ("" when the
// samples are the time column); "" while there are none.
const char* TempPath();
const char* TimePath();

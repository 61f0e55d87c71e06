// The extraction: a log's channels as temporary files of 23-byte records, one file per channel
// and one for the time, taken in one pass that goes on while a followed log grows.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "channels.h"
#include "charttypes.h"
#include "figures.h"
#include "logreader.h"

// The extraction of channels of a log into temporary files of 23-byte records, one file per
// channel and one for the time column (none when the only channel is the time column), all in
// one pass, kept so that it can go on while the log grows. A measured channel's record is its
// field as the log holds it, up to a NUL, padded with blanks; a derived channel's is the shortest
// text of its RecordedValue. The files stay open for reading (file()) and are removed with the
// extraction, or by RemoveTempFile. The extraction is itself a consumer of the pass it reads the
// log with, and other consumers may share that pass.
class LogExtraction final : public LineConsumer {
  public:
    LogExtraction(const std::string& logName, const std::vector<Channel>& channels);
    ~LogExtraction();
    LogExtraction(const LogExtraction&) = delete;
    LogExtraction& operator=(const LogExtraction&) = delete;

    // The pass's reader: other consumers ask it for their columns and join it before Start.
    LogReader& reader() { return reader_; }
    // Has the records needed end with `stretch`, or with its `count`-th record (a window's first
    // view): once every such stretch has ended, no later record is written, and the reading stops
    // unless another consumer needs more. Before Start; without a call every record is kept.
    void NeedOnly(const StretchChoice& stretch, std::int64_t count = INT64_MAX);

    // Extracts the log as it is now (see LogReader::Start). False with one line in err, and no
    // temporary file left.
    bool Start(bool follow, std::string* err);
    // Takes the complete lines the log has gained into the files (see LogReader::Follow); a log
    // that started over empties the files and refills them from the new log. On a failure
    // following stops, the files keep the records committed, and err holds one line.
    FollowResult Follow(std::chrono::steady_clock::time_point deadline, std::string* err);

    // Started with `follow` and not stopped since.
    bool following() const { return reader_.following(); }
    // False while the followed path names no file.
    bool accessible() const { return reader_.accessible(); }
    // The records in the files.
    std::int64_t records() const { return committed.records; }
    // The first channel's finite sample of largest magnitude, with its sign (0.0 when none), and
    // its range.
    double extreme() const { return committed.first.extreme; }
    const SampleRange& range() const { return committed.first.range; }

    // Descriptors of the files, open for reading: a channel's (in the order given) and the time
    // column's (the channel's own when it is the time column). -1 before Start.
    int file(std::size_t channel) const;
    int timeFile() const;
    // The channels extracted, in the order of their files.
    const std::vector<Channel>& extracted() const { return channels; }
    // Their paths.
    const std::string& path(std::size_t channel) const;
    const std::string& timePath() const;

    void OnLine(const LogLine& line) override;
    bool Satisfied() const override;
    void Restart() override;

  private:
    struct RecordFile {
        std::string path;
        int fd = -1;
        std::unique_ptr<char[]> pending;  // records not yet written: `used` bytes
        std::size_t used = 0;
    };
    // A stretch whose records are needed, and how many of them.
    struct Need {
        StretchChoice stretch;
        std::int64_t count;
        StretchFilter filter{stretch};
        std::int64_t taken = 0;
        bool Met() const { return filter.Passed() || taken >= count; }
    };
    enum class Fault { kNone, kWrite, kTooLong };
    bool CreateFiles(std::string* err);
    void RemoveFiles();
    bool Flush(std::size_t atLeast);
    bool Cut(off_t size);
    bool Commit();
    void Fail(Fault what, const RecordFile* file);
    std::string StartFailure() const;
    std::string FollowFailure() const;

    std::string logName;
    std::vector<Channel> channels;
    LogReader reader_;
    ChannelReader values;
    std::vector<RecordFile> files;
    std::vector<Need> needs;
    // The records taken, with the first channel's figures, and those written out: what stays
    // when following stops, whatever was taken after them.
    struct Taken {
        std::int64_t records = 0;
        SampleFigures first;
    } taken, committed;
    Fault fault = Fault::kNone;
    int faultErrno = 0;
    std::string failedPath;
};

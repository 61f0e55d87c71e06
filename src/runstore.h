// An opened run of the explorer: every chart type's samples kept in blocks in a private file, with
// each block's extremes, so that a stretch at any zoom is answered from a few blocks, exactly;
// followed as the log grows.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "channels.h"
#include "logreader.h"
#include "records.h"

// The chart types the explorer serves, in this order: the log's 11 columns (time first), then
// distance, traction power and traction energy.
const std::vector<Channel>& ServedChannels();
constexpr std::size_t kServedTime = 0;       // in ServedChannels
constexpr std::size_t kServedDistance = 11;  // in ServedChannels

// What a look at a followed log found, for the explorer to say.
enum class LogState { kLive, kTruncated, kReplaced, kGone };

// A request for a series: chart types (places in ServedChannels), the stretch as times, and how
// many columns of the x range the answer may have.
struct SeriesQuery {
    std::vector<std::size_t> charts;
    std::optional<double> at, to;  // s, as --at and --to
    int width = 1;
    bool distance = false;  // x is the distance, else the time
};

class RunStore : public LineConsumer {
  public:
    static constexpr std::int64_t kBlockRecords = 256;

    explicit RunStore(const std::string& logName);
    ~RunStore();

    // Reads the log as it is now, every chart type of `charts` (places in ServedChannels) with the
    // time and the computed chart types, and goes on following it. False with one line in err.
    bool Open(const std::vector<std::size_t>& charts, std::string* err);
    // Reads the chart types of `charts` not read yet: the log is read again from its start for
    // every chart type read so far and these, and followed on. False with one line in err.
    bool Fill(const std::vector<std::size_t>& charts, std::string* err);
    // Takes what the log gained until `deadline`; a start-over empties the store first.
    void Follow(std::chrono::steady_clock::time_point deadline);

    std::int64_t samples() const;
    LogState state() const;
    // Why the store stopped taking samples (its file could not be written), "" while it takes
    // them: its answers would be of a run cut short.
    std::string Failure() const;

    // The answers, as JSON: the first sample at `at` or later with every chart type's value
    // (false when there is none); a series (see the man page: every sample of a stretch of at
    // most 2 * width samples, else width columns of the x range with their exact extremes).
    bool SampleJson(double at, std::string* json) const;
    std::string SeriesJson(const SeriesQuery& query) const;

    void OnLine(const LogLine& line) override;
    void Restart() override;

  private:
    static constexpr std::size_t kChannels = 14;
    static constexpr std::size_t kNotRead = SIZE_MAX;
    // What the index keeps of a block: its records' count, each channel's finite extremes
    // (NaN when none), and its x values: first and last in record order, smallest and largest.
    struct Block {
        std::int64_t records = 0;
        double lo[kChannels], hi[kChannels];
        double first[2], last[2], xLo[2], xHi[2];  // [0] time, [1] distance
        bool finite[2] = {true, true};             // every x of the block is finite
    };
    struct Columns;
    bool ReadBlock(std::int64_t block, std::size_t channel, double* values) const;
    bool WriteBlock(std::int64_t block, std::size_t channel, const double* values,
                    std::size_t count);
    double Value(std::int64_t record, std::size_t channel) const;
    RecordSpan Stretch(const std::optional<double>& at, const std::optional<double>& to) const;
    std::int64_t FirstAtOrAfter(double seconds, std::int64_t from) const;
    std::int64_t LastUpTo(double seconds, std::int64_t from) const;
    void Note(Block& block, const double* values);

    std::string logName;
    bool Read(std::string* err);
    std::unique_ptr<LogReader> reader;
    // The chart types read, and where each is among them (or kNotRead): only their columns are
    // cut and parsed, by whoever reads the log.
    std::unique_ptr<ChannelReader> channels;
    std::size_t place[kChannels];
    std::vector<std::size_t> reading;  // the chart types read, in their order (the others' values
                                       // and extremes in the store mean nothing until read)
    mutable std::shared_mutex mutex;   // queries share it; a follow takes it alone
    int fd = -1;
    std::string path;             // the file's name, for messages: removed once open
    std::vector<Block> blocks;    // the last may be incomplete: its values are in `current`
    std::vector<double> current;  // kChannels x kBlockRecords, channel by channel
    std::int64_t records = 0;
    // The chart types read so far: the time, and the inputs of the computed ones, always; the
    // others as they are asked for, so that a run opens as fast as its first view needs.
    bool filled[kChannels] = {};
    LogState state_ = LogState::kLive;
    int failure = 0;  // errno of a failed write of the file: the store keeps what it had
    std::string FailureText() const;
};

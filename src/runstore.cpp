// An opened run of the explorer: every chart type's samples kept in blocks in a private file, with
// each block's extremes, so that a stretch at any zoom is answered from a few blocks, exactly;
// followed as the log grows.
#include "runstore.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "files.h"
#include "number.h"
#include "tempfiles.h"
#include "text.h"

namespace {
constexpr std::int64_t kRecords = RunStore::kBlockRecords;

// A JSON number: the shortest text that reads back exactly; null for a NaN or an infinity, which
// JSON cannot hold.
void AppendJsonNumber(double number, std::string* json) {
    if (!std::isfinite(number)) {
        *json += "null";
        return;
    }
    char text[kMaxExactText];
    json->append(text, WriteExactText(number, text));
}

void AppendJsonArray(const std::vector<double>& numbers, std::string* json) {
    *json += '[';
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) *json += ',';
        AppendJsonNumber(numbers[i], json);
    }
    *json += ']';
}

// The smaller and larger of the finite numbers noted; NaN while none is.
void Widen(double value, double* lo, double* hi) {
    if (!std::isfinite(value)) return;
    if (!(*lo <= value)) *lo = value;  // NaN compares false: the first finite value takes it
    if (!(*hi >= value)) *hi = value;
}
}  // namespace

const std::vector<Channel>& ServedChannels() {
    static const std::vector<Channel> channels = [] {
        std::vector<Channel> all;
        for (int column = 1; column <= kChartTypes; ++column) all.push_back(ColumnChannel(column));
        for (Derived derived :
             {Derived::kDistance, Derived::kTractionPower, Derived::kTractionEnergy})
            all.push_back({0, derived});
        return all;
    }();
    return channels;
}

// The columns of a series answer being gathered, in record order.
struct RunStore::Columns {
    Columns(const SeriesQuery& query, double x0, double x1)
        : query(query),
          from(x0),
          span(x1 - x0),
          count(query.width, 0),
          first(query.width, NAN),
          last(query.width, NAN),
          lo(query.charts.size(), std::vector<double>(query.width, NAN)),
          hi(query.charts.size(), std::vector<double>(query.width, NAN)) {}

    // The column of x: floor((x - X0) * W / (X1 - X0)), kept within the columns; all in the first
    // when the stretch's ends share one x.
    int Of(double x) const {
        if (!(span > 0 || span < 0)) return 0;
        double column = std::floor((x - from) * query.width / span);
        return static_cast<int>(std::clamp(column, 0.0, query.width - 1.0));
    }
    // Adds records whose x are firstX .. lastX in record order to column c.
    void Add(int c, std::int64_t records, double firstX, double lastX) {
        if (count[c] == 0) first[c] = firstX;
        last[c] = lastX;
        count[c] += records;
    }

    const SeriesQuery& query;
    double from, span;
    std::vector<std::int64_t> count;
    std::vector<double> first, last;
    std::vector<std::vector<double>> lo, hi;  // a chart each
};

RunStore::RunStore(const std::string& name) : logName(name), current(kChannels * kRecords) {}

RunStore::~RunStore() {
    if (fd >= 0) close(fd);
}

bool RunStore::Open(const std::vector<std::size_t>& charts, std::string* err) {
    std::unique_lock<std::shared_mutex> lock(mutex);
    for (std::size_t always : {kServedTime, std::size_t{1}, std::size_t{5}, kServedDistance,
                               std::size_t{12}, std::size_t{13}})  // velocity, traction force
        filled[always] = true;
    for (std::size_t chart : charts) filled[chart] = true;
    if (!CreatePrivateFile(".run", &fd, &path, err)) return false;
    // Kept open, its name removed at once: a run opened holds no place among the files a signal
    // removes (they are few), and no way out leaves it behind.
    RemoveRegisteredFile(path);
    return Read(err);
}

bool RunStore::Fill(const std::vector<std::size_t>& charts, std::string* err) {
    std::unique_lock<std::shared_mutex> lock(mutex);
    bool missing = false;
    for (std::size_t chart : charts) {
        missing = missing || !filled[chart];
        filled[chart] = true;
    }
    return !missing || Read(err);
}

// Reads the log from its start into the store, the chart types filled only (a reader cuts and
// parses the columns asked for, nothing else), and goes on following it.
bool RunStore::Read(std::string* err) {
    std::vector<Channel> read;
    reading.clear();
    for (std::size_t c = 0; c < kChannels; ++c) {
        place[c] = filled[c] ? read.size() : kNotRead;
        if (!filled[c]) continue;
        read.push_back(ServedChannels()[c]);
        reading.push_back(c);
    }
    reader = std::make_unique<LogReader>(logName);
    reader->ShowProgress(false);
    channels = std::make_unique<ChannelReader>(read, reader->columns());
    reader->Add(*this);
    Restart();
    if (!reader->Start(true, err)) return false;
    return failure == 0 || Refuse(err, FailureText());
}

std::string RunStore::FailureText() const {
    return failure == 0 ? ""
                        : "plovo: cannot write temporary file '" + Printable(path) +
                              "': " + std::strerror(failure);
}

std::string RunStore::Failure() const {
    std::shared_lock<std::shared_mutex> lock(mutex);
    return FailureText();
}

void RunStore::Follow(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::shared_mutex> lock(mutex);
    if (!reader || !reader->following()) return;
    std::string error;
    FollowResult result = reader->Follow(deadline, &error);
    if (result.stopped || !reader->accessible())
        state_ = LogState::kGone;
    else if (result.startedOver)
        state_ = result.notice.find("replaced") != std::string::npos ? LogState::kReplaced
                                                                     : LogState::kTruncated;
    else if (state_ == LogState::kGone)
        state_ = LogState::kLive;  // its name came back
}

std::int64_t RunStore::samples() const {
    std::shared_lock<std::shared_mutex> lock(mutex);
    return records;
}

LogState RunStore::state() const {
    std::shared_lock<std::shared_mutex> lock(mutex);
    return state_;
}

void RunStore::Note(Block& block, const double* values) {
    std::int64_t at = block.records++;
    for (std::size_t c : reading) {
        if (at == 0) block.lo[c] = block.hi[c] = NAN;
        Widen(values[c], &block.lo[c], &block.hi[c]);
    }
    for (int x = 0; x < 2; ++x) {
        double value = values[x == 0 ? kServedTime : kServedDistance];
        if (at == 0) block.first[x] = value, block.xLo[x] = block.xHi[x] = NAN;
        block.last[x] = value;
        block.finite[x] = block.finite[x] && std::isfinite(value);
        Widen(value, &block.xLo[x], &block.xHi[x]);
    }
}

void RunStore::OnLine(const LogLine& line) {
    if (failure != 0) return;
    channels->Next(line);
    if (blocks.empty() || blocks.back().records == kRecords) blocks.emplace_back();
    std::int64_t at = blocks.back().records;
    double values[kChannels];
    for (std::size_t c : reading) {
        values[c] = channels->Value(place[c]);
        current[c * kRecords + at] = values[c];
    }
    Note(blocks.back(), values);
    ++records;
    // A block complete: every chart type's place written at once (those not read yet are
    // written over when they are).
    if (blocks.back().records == kRecords)
        if (!WriteBlock(blocks.size() - 1, 0, current.data(), kChannels))
            failure = errno != 0 ? errno : EIO;
}

// Writes a complete block's values of `count` chart types from `channel` on at their place in
// the file.
bool RunStore::WriteBlock(std::int64_t block, std::size_t channel, const double* values,
                          std::size_t count) {
    const std::size_t size = kRecords * sizeof(double) * count;
    const off_t offset = (static_cast<off_t>(block) * kChannels + static_cast<off_t>(channel)) *
                         static_cast<off_t>(kRecords * sizeof(double));
    return WriteAllAt(fd, values, size, offset);
}

void RunStore::Restart() {
    blocks.clear();
    records = 0;
    failure = ftruncate(fd, 0) != 0 ? errno : 0;
    channels->Restart();
}

// A block's values of one channel: from the file, or, for the block still being filled, from
// memory.
bool RunStore::ReadBlock(std::int64_t block, std::size_t channel, double* values) const {
    const std::size_t count = static_cast<std::size_t>(blocks[block].records);
    if (block + 1 == static_cast<std::int64_t>(blocks.size()) && count < kRecords) {
        std::memcpy(values, &current[channel * kRecords], count * sizeof(double));
        return true;
    }
    const std::size_t size = kRecords * sizeof(double);
    off_t offset = static_cast<off_t>(block) * static_cast<off_t>(kChannels * size) +
                   static_cast<off_t>(channel * size);
    return pread(fd, values, size, offset) == static_cast<ssize_t>(size);
}

double RunStore::Value(std::int64_t record, std::size_t channel) const {
    double values[kRecords];
    std::int64_t block = (record - 1) / kRecords;
    if (!ReadBlock(block, channel, values)) return NAN;
    return values[(record - 1) % kRecords];
}

// The first record from `from` on whose time is `seconds` or later; 0 for none.
std::int64_t RunStore::FirstAtOrAfter(double seconds, std::int64_t from) const {
    double times[kRecords];
    for (std::int64_t b = (from - 1) / kRecords; b < static_cast<std::int64_t>(blocks.size());
         ++b) {
        if (!(blocks[b].xHi[0] >= seconds)) continue;  // no time of the block reaches it
        if (!ReadBlock(b, kServedTime, times)) return 0;
        for (std::int64_t i = std::max<std::int64_t>(0, from - 1 - b * kRecords);
             i < blocks[b].records; ++i)
            if (times[i] >= seconds) return b * kRecords + i + 1;
    }
    return 0;
}

// The last record of the stretch that begins at `from` and ends before the first later record
// whose time is above `seconds`.
std::int64_t RunStore::LastUpTo(double seconds, std::int64_t from) const {
    double times[kRecords];
    for (std::int64_t b = from / kRecords; b < static_cast<std::int64_t>(blocks.size()); ++b) {
        if (!(blocks[b].xHi[0] > seconds)) continue;  // every time of the block is within
        if (!ReadBlock(b, kServedTime, times)) return records;
        for (std::int64_t i = std::max<std::int64_t>(0, from - b * kRecords); i < blocks[b].records;
             ++i)
            if (times[i] > seconds) return b * kRecords + i;
    }
    return records;
}

RecordSpan RunStore::Stretch(const std::optional<double>& at,
                             const std::optional<double>& to) const {
    if (records == 0) return {};
    std::int64_t first = at ? FirstAtOrAfter(*at, 1) : 1;
    if (first == 0) return {};
    return {first, to ? LastUpTo(*to, first) : records};
}

bool RunStore::SampleJson(double at, std::string* json) const {
    std::shared_lock<std::shared_mutex> lock(mutex);
    std::int64_t record = records == 0 ? 0 : FirstAtOrAfter(at, 1);
    if (record == 0) return false;
    *json = "{\"sample\":" + std::to_string(record) + ",\"time\":";
    AppendJsonNumber(Value(record, kServedTime), json);
    *json += ",\"values\":{";
    for (std::size_t c = 0; c < kChannels; ++c) {
        *json += (c == 0 ? "\"" : ",\"") + ChannelName(ServedChannels()[c]) + "\":";
        AppendJsonNumber(Value(record, c), json);
    }
    *json += "}}";
    return true;
}

std::string RunStore::SeriesJson(const SeriesQuery& query) const {
    std::shared_lock<std::shared_mutex> lock(mutex);
    RecordSpan span = Stretch(query.at, query.to);
    std::int64_t n = std::max<std::int64_t>(0, span.last - span.first + 1);
    std::size_t x = query.distance ? kServedDistance : kServedTime;
    std::string json;
    if (n <= 2 * static_cast<std::int64_t>(query.width)) {
        // Every sample.
        std::vector<std::size_t> wanted = {kServedTime};
        if (query.distance) wanted.push_back(kServedDistance);
        wanted.insert(wanted.end(), query.charts.begin(), query.charts.end());
        std::vector<std::vector<double>> values(wanted.size());
        double block[kRecords];
        for (std::size_t w = 0; w < wanted.size(); ++w)
            for (std::int64_t b = (span.first - 1) / kRecords;
                 n > 0 && b <= (span.last - 1) / kRecords; ++b) {
                bool read = ReadBlock(b, wanted[w], block);
                for (std::int64_t r = std::max(span.first, b * kRecords + 1);
                     r <= std::min(span.last, b * kRecords + blocks[b].records); ++r)
                    values[w].push_back(read ? block[r - 1 - b * kRecords] : NAN);
            }
        json = "{\"form\":\"samples\",\"sample\":[";
        for (std::int64_t r = 0; r < n; ++r)
            json += (r ? "," : "") + std::to_string(span.first + r);
        json += "],\"time\":";
        AppendJsonArray(values[0], &json);
        if (query.distance) {
            json += ",\"distance\":";
            AppendJsonArray(values[1], &json);
        }
        json += ",\"values\":{";
        std::size_t from = query.distance ? 2 : 1;
        for (std::size_t c = 0; c < query.charts.size(); ++c) {
            json += (c ? ",\"" : "\"") + ChannelName(ServedChannels()[query.charts[c]]) + "\":";
            AppendJsonArray(values[from + c], &json);
        }
        return json + "}}";
    }
    // Columns of the x range, a block at a time: a block whose x all fall in one column adds its
    // extremes from the index; the others are read record by record.
    Columns columns(query, Value(span.first, x), Value(span.last, x));
    const int xi = query.distance ? 1 : 0;
    std::vector<double> xs(kRecords), values(kRecords * query.charts.size());
    for (std::int64_t b = (span.first - 1) / kRecords; b <= (span.last - 1) / kRecords; ++b) {
        const Block& block = blocks[b];
        std::int64_t lo = std::max(span.first, b * kRecords + 1);
        std::int64_t hi = std::min(span.last, b * kRecords + block.records);
        bool whole = lo == b * kRecords + 1 && hi == b * kRecords + block.records;
        if (whole && block.finite[xi] && columns.Of(block.xLo[xi]) == columns.Of(block.xHi[xi])) {
            int c = columns.Of(block.xLo[xi]);
            columns.Add(c, block.records, block.first[xi], block.last[xi]);
            for (std::size_t k = 0; k < query.charts.size(); ++k) {
                Widen(block.lo[query.charts[k]], &columns.lo[k][c], &columns.hi[k][c]);
                Widen(block.hi[query.charts[k]], &columns.lo[k][c], &columns.hi[k][c]);
            }
            continue;
        }
        ReadBlock(b, x, xs.data());
        for (std::size_t k = 0; k < query.charts.size(); ++k)
            ReadBlock(b, query.charts[k], &values[k * kRecords]);
        for (std::int64_t r = lo; r <= hi; ++r) {
            std::int64_t i = r - 1 - b * kRecords;
            if (!std::isfinite(xs[i])) continue;  // in no column
            int c = columns.Of(xs[i]);
            columns.Add(c, 1, xs[i], xs[i]);
            for (std::size_t k = 0; k < query.charts.size(); ++k)
                Widen(values[k * kRecords + i], &columns.lo[k][c], &columns.hi[k][c]);
        }
    }
    json = "{\"form\":\"columns\",\"x0\":";
    AppendJsonArray(columns.first, &json);
    json += ",\"x1\":";
    AppendJsonArray(columns.last, &json);
    for (const char* side : {"min", "max"}) {
        json += std::string(",\"") + side + "\":{";
        for (std::size_t k = 0; k < query.charts.size(); ++k) {
            json += (k ? ",\"" : "\"") + ChannelName(ServedChannels()[query.charts[k]]) + "\":";
            AppendJsonArray(side[1] == 'i' ? columns.lo[k] : columns.hi[k], &json);
        }
        json += "}";
    }
    json += ",\"count\":[";
    for (int c = 0; c < query.width; ++c) json += (c ? "," : "") + std::to_string(columns.count[c]);
    return json + "]}";
}

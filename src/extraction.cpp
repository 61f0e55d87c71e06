// The extraction: a log's channels as temporary files of 23-byte records, one file per channel
// and one for the time, taken in one pass that goes on while a followed log grows.
#include "extraction.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include "files.h"
#include "number.h"
#include "tempfiles.h"
#include "text.h"

namespace {
// Bytes of records written to a file at once.
constexpr std::size_t kWriteSize = 1 << 20;

// Appends a field's record: its text, padded so that later records keep their places (a line too
// short for the column leaves the text empty). A whole field, the usual one, is copied as it is.
void AppendRecord(const FieldText& field, char* pending, std::size_t* used) {
    char* record = pending + *used;
    *used += kRecordSize;
    if (field.length == kRecordSize) {
        std::memcpy(record, field.text, kRecordSize);
        return;
    }
    std::memset(record, ' ', kRecordSize);
    std::memcpy(record, field.text, field.length);
}

// Appends a computed value's record, the shortest text of its RecordedValue; returns that value.
double AppendValue(double value, char* pending, std::size_t* used) {
    value = RecordedValue(value);
    char record[kMaxExactText];
    std::size_t length = static_cast<std::size_t>(WriteExactText(value, record) - record);
    std::memset(record + length, ' ', kRecordSize - length);
    std::memcpy(pending + *used, record, kRecordSize);
    *used += kRecordSize;
    return value;
}
}  // namespace

LogExtraction::LogExtraction(const std::string& name, const std::vector<Channel>& chartChannels)
    : logName(name), channels(chartChannels), reader_(name), values(channels, reader_.columns()) {
    reader_.Add(*this);
}

LogExtraction::~LogExtraction() {
    RemoveFiles();
}

void LogExtraction::NeedOnly(const StretchChoice& stretch, std::int64_t count) {
    needs.push_back({stretch, count});
}

bool LogExtraction::CreateFiles(std::string* err) {
    std::size_t count = channels.size();
    bool timeAlone = count == 1 && channels[0] == ColumnChannel(kTimeColumn);
    files.resize(timeAlone ? 1 : count + 1);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const char* suffix = i < count ? ".dat" : ".time";
        if (!CreatePrivateFile(suffix, &files[i].fd, &files[i].path, err)) {
            RemoveFiles();
            return false;
        }
        files[i].pending = std::make_unique<char[]>(kWriteSize + kRecordSize);
    }
    return true;
}

void LogExtraction::RemoveFiles() {
    for (RecordFile& file : files) {
        if (file.fd >= 0) close(file.fd);
        if (!file.path.empty()) RemoveRegisteredFile(file.path);
    }
    files.clear();
}

// Writes what is pending once the first file's records reach `atLeast` bytes.
bool LogExtraction::Flush(std::size_t atLeast) {
    if (files.empty() || files[0].used < atLeast) return true;
    for (RecordFile& file : files) {
        std::size_t written = 0;
        if (!WriteAll(file.fd, file.pending.get(), file.used, &written)) {
            Fail(Fault::kWrite, &file);
            return false;
        }
        file.used = 0;
    }
    return true;
}

// Drops what is pending and cuts every file to `size` bytes, to write on from there.
bool LogExtraction::Cut(off_t size) {
    for (RecordFile& file : files) {
        file.used = 0;
        if (ftruncate(file.fd, size) != 0 || lseek(file.fd, size, SEEK_SET) < 0) {
            Fail(Fault::kWrite, &file);
            return false;
        }
    }
    return true;
}

void LogExtraction::Fail(Fault what, const RecordFile* file) {
    if (fault != Fault::kNone) return;
    fault = what;
    faultErrno = errno;
    if (file != nullptr) failedPath = file->path;
}

// Writes out what is pending; its records then count.
bool LogExtraction::Commit() {
    if (fault != Fault::kNone || !Flush(0)) return false;
    committed = taken;
    return true;
}

void LogExtraction::OnLine(const LogLine& line) {
    if (Satisfied()) return;
    values.Next(line);
    std::int64_t record = ++taken.records;
    double first = 0.0;  // the first channel's sample
    for (std::size_t i = 0; i < values.size(); ++i) {
        RecordFile& file = files[i];
        double sample = values.measured(i)
                            ? 0.0
                            : AppendValue(values.DerivedValue(i), file.pending.get(), &file.used);
        if (values.measured(i)) {
            AppendRecord(values.Text(i), file.pending.get(), &file.used);
            if (i == 0) sample = values.Value(0);
        }
        if (i == 0) first = sample;
    }
    taken.first.Note(first, record);
    if (files.size() > values.size())
        AppendRecord(values.TimeText(), files.back().pending.get(), &files.back().used);
    for (Need& need : needs)
        if (need.filter.Takes(record, values.time())) ++need.taken;
    // The viewer counts records in an int: a log this long (hundreds of gigabytes) cannot be
    // shown.
    if (record > INT_MAX) Fail(Fault::kTooLong, nullptr);
    Flush(kWriteSize);
}

bool LogExtraction::Satisfied() const {
    if (fault != Fault::kNone) return true;
    if (needs.empty()) return false;
    for (const Need& need : needs)
        if (!need.Met()) return false;
    return true;
}

void LogExtraction::Restart() {
    values.Restart();
    taken = committed = {};
    for (Need& need : needs) need = {need.stretch, need.count};
    Cut(0);
}

bool LogExtraction::Start(bool follow, std::string* err) {
    if (!CreateFiles(err)) return false;
    if (!reader_.Start(follow, err)) {
        RemoveFiles();
        return false;
    }
    if (!Commit()) {
        *err = StartFailure();
        reader_.Stop();
        RemoveFiles();
        return false;
    }
    return true;
}

FollowResult LogExtraction::Follow(std::chrono::steady_clock::time_point deadline,
                                   std::string* err) {
    FollowResult result;
    if (!reader_.following()) return result;
    result = reader_.Follow(deadline, err);
    if (!result.stopped && Commit()) return result;
    if (!result.stopped) {
        *err = FollowFailure();
        reader_.Stop();
        result.stopped = true;
    }
    // Following stops with the records committed: what was taken after them goes.
    Cut(static_cast<off_t>(committed.records) * kRecordSize);
    taken = committed;
    return result;
}

std::string LogExtraction::StartFailure() const {
    if (fault == Fault::kTooLong)
        return "plovo: log '" + Printable(logName) + "' has more than " + std::to_string(INT_MAX) +
               " data lines";
    return "plovo: cannot write temporary file '" + Printable(failedPath) +
           "': " + std::strerror(faultErrno);
}

std::string LogExtraction::FollowFailure() const {
    std::string why =
        fault == Fault::kTooLong
            ? "it has more than " + std::to_string(INT_MAX) + " data lines"
            : std::string("cannot write the temporary file: ") + std::strerror(faultErrno);
    return "plovo: stopped following '" + Printable(logName) + "': " + why;
}

int LogExtraction::file(std::size_t channel) const {
    return channel < files.size() ? files[channel].fd : -1;
}

int LogExtraction::timeFile() const {
    return files.empty() ? -1 : files.back().fd;
}

const std::string& LogExtraction::path(std::size_t channel) const {
    static const std::string none;
    return channel < files.size() ? files[channel].path : none;
}

const std::string& LogExtraction::timePath() const {
    return path(files.size() - 1);
}

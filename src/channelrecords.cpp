// The records of each line of a log, one per channel and one for the time, made into temporary
// files, with the first channel's figures.
#include "channelrecords.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "logformat.h"
#include "number.h"
#include "tempfiles.h"

namespace {
bool WriteAll(int fd, const std::string& data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t written = write(fd, p, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        p += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// The length of a field's text: up to a NUL, if it holds one.
std::size_t TextLength(const FieldText& field) {
    const void* nul = std::memchr(field.text, '\0', field.length);
    return nul ? static_cast<const char*>(nul) - field.text : field.length;
}

// Appends a field's record: its text up to a NUL, padded so that later records keep their
// places (a line too short for the column leaves the text empty). Returns the text's length.
std::size_t AppendRecord(const FieldText& field, std::string& out) {
    std::size_t text = TextLength(field);
    char record[kRecordSize];
    std::memset(record, ' ', sizeof record);
    std::memcpy(record, field.text, text);
    out.append(record, sizeof record);
    return text;
}

// Appends a computed value's record: the shortest text that reads back as exactly `value`, or,
// where that would not fit a record, the value rounded to 16 significant digits. Returns the
// value the record reads back as.
double AppendValue(double value, std::string& out) {
    char record[kMaxExactText];
    std::size_t length = static_cast<std::size_t>(WriteExactText(value, record) - record);
    if (length > kRecordSize) {
        length = static_cast<std::size_t>(std::snprintf(record, sizeof record, "%.16g", value));
        value = ParseNumber(record, length);
    }
    std::memset(record + length, ' ', kRecordSize - length);
    out.append(record, kRecordSize);
    return value;
}

// The value a computed value's record reads back as, without writing it: the value itself but
// where its shortest text, which then takes a three-digit exponent, may not fit a record.
double RecordedValue(double value) {
    double magnitude = std::fabs(value);
    if (!(magnitude >= 1e100 || (magnitude > 0 && magnitude < 1e-99))) return value;
    std::string record;
    return AppendValue(value, record);
}

double Parse(const FieldText& field) {
    return ParseNumber(field.text, field.length);
}
}  // namespace

bool RecordFiles::Create(const std::vector<Channel>& channels, std::string* err) {
    if (channels.empty()) return true;  // figures only
    std::size_t count = channels.size();
    bool timeAlone = count == 1 && channels[0] == ColumnChannel(kTimeColumn);
    files.resize(timeAlone ? 1 : count + 1);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const char* suffix = i < count ? ".dat" : ".time";
        if (!CreatePrivateFile(suffix, &files[i].fd, &files[i].path, err)) {
            Remove();
            return false;
        }
        files[i].pending.reserve(kBlockSize + kRecordSize);
    }
    return true;
}

bool RecordFiles::Flush(std::size_t atLeast) {
    if (files.empty() || files[0].pending.size() < atLeast) return true;
    for (RecordFile& file : files) {
        if (!WriteAll(file.fd, file.pending)) return Failed(file);
        file.pending.clear();
    }
    return true;
}

bool RecordFiles::Cut(off_t size) {
    for (RecordFile& file : files) {
        file.pending.clear();
        if (ftruncate(file.fd, size) != 0 || lseek(file.fd, size, SEEK_SET) < 0)
            return Failed(file);
    }
    return true;
}

void RecordFiles::Remove() {
    for (RecordFile& file : files) {
        if (file.fd >= 0) close(file.fd);
        if (!file.path.empty()) RemoveRegisteredFile(file.path);
    }
    files.clear();
}

bool RecordFiles::Failed(const RecordFile& file) {
    failedPath = file.path.c_str();
    return false;
}

RecordMaker::RecordMaker(const std::vector<Channel>& channels, std::vector<RecordFile>& files,
                         bool keep)
    : files(files), keep(keep) {
    FieldOf(kTimeColumn);  // field 0: the time
    for (const Channel& channel : channels) {
        bool measured = channel.derived == Derived::kNone;
        derives = derives || !measured;
        std::vector<int> needs = ChannelColumns(channel);
        usesForce =
            usesForce || (!measured && std::count(needs.begin(), needs.end(), kForceColumn) > 0);
        plans.push_back({channel.derived, measured ? FieldOf(channel.column) : 0});
    }
    if (derives) velocityField = FieldOf(kVelocityColumn);
    if (usesForce) forceField = FieldOf(kForceColumn);
}

void RecordMaker::OnLine(const FieldText* fields) {
    ++records;
    // Without a channel that needs the force (distance alone), power and energy go unused.
    double force = usesForce ? Parse(fields[forceField]) : 0.0;
    double time = Parse(fields[0]);
    if (derives) derived.Next(time, Parse(fields[velocityField]), force);
    bool row = rowStretch && rowStretch->Takes(records, time);
    if (rowsOut != nullptr) {  // the rows are the only output: no record, no figures
        if (row) AppendRow(fields);
        return;
    }
    double first = 0.0;  // the first channel's sample
    for (std::size_t i = 0; i < plans.size() && (keep || i == 0); ++i) {
        const Plan& plan = plans[i];
        double sample = 0.0;
        if (plan.derived == Derived::kNone) {
            const FieldText& field = fields[plan.field];
            std::size_t text = keep ? AppendRecord(field, files[i].pending) : TextLength(field);
            if (i == 0) sample = ParseNumber(field.text, text);
        } else {
            double value = DerivedValue(plan.derived);
            sample = keep ? AppendValue(value, files[i].pending) : RecordedValue(value);
        }
        if (i == 0) first = sample;
    }
    stretch.Add(records, time, first);
    if (chosen && chosen->Takes(records, time)) chosenStretch.Add(records, time, first);
    if (files.size() > plans.size()) AppendRecord(fields[0], files.back().pending);
}

void RecordMaker::StreamRows(std::ostream* out, const StretchChoice& stretchChosen) {
    rowsOut = out;
    rowStretch.emplace(stretchChosen);
    // A block, and room for a whole row past its end, written in place.
    rows.resize(kBlockSize + (plans.size() + 1) * (kMaxExactText + 1));
}

bool RecordMaker::RowsDone() const {
    return rowsOut != nullptr && (rowsOut->fail() || rowStretch->Passed());
}

void RecordMaker::AppendRow(const FieldText* fields) {
    char* end = rows.data() + rowsEnd;
    end = WriteFieldText(fields[0].text, TextLength(fields[0]), end);
    for (std::size_t i = 0; i < plans.size(); ++i) {
        *end++ = ',';
        const FieldText& field = fields[plans[i].field];
        end = plans[i].derived == Derived::kNone
                  ? WriteFieldText(field.text, TextLength(field), end)
                  : WriteExactText(RecordedValue(DerivedValue(plans[i].derived)), end);
    }
    *end++ = '\n';
    rowsEnd = static_cast<std::size_t>(end - rows.data());
    if (rowsEnd >= kBlockSize) FlushRows();
}

void RecordMaker::FlushRows() {
    if (rowsOut != nullptr) rowsOut->write(rows.data(), static_cast<std::streamsize>(rowsEnd));
    rowsEnd = 0;
}

void RecordMaker::Choose(const StretchChoice& stretchChosen) {
    choice = stretchChosen;
    chosen.emplace(stretchChosen);
}

void RecordMaker::Reset() {
    records = 0;
    stretch = chosenStretch = StretchAccumulator();
    if (choice) chosen.emplace(*choice);
    derived.Reset();
}

// The index of `column` among the fields, added when it is not there yet.
std::size_t RecordMaker::FieldOf(int column) {
    auto at = std::find(columns.begin(), columns.end(), column);
    if (at != columns.end()) return static_cast<std::size_t>(at - columns.begin());
    columns.push_back(column);
    return columns.size() - 1;
}

double RecordMaker::DerivedValue(Derived which) const {
    switch (which) {
        case Derived::kDistance:
            return derived.distance();
        case Derived::kTractionPower:
            return derived.power();
        case Derived::kTractionEnergy:
            return derived.energy();
        case Derived::kNone:
            break;
    }
    return 0.0;
}

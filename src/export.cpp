// The CSV export: a stretch of the run's records as their time and the chart types' values,
// written as the log is read when it is the run's only output, else from the extraction's files.
#include "export.h"

#include <algorithm>
#include <memory>

#include "number.h"
#include "resolution.h"
#include "text.h"

namespace {
constexpr std::size_t kRowBlockSize = 1 << 16;  // bytes of rows handed to the outputs at once

// Opens every target; false with one line in err at the first that cannot be opened.
bool OpenAll(const std::vector<std::string>& targets, std::vector<std::unique_ptr<Output>>* outputs,
             std::string* err) {
    for (const std::string& target : targets) {
        outputs->push_back(std::make_unique<Output>());
        if (!outputs->back()->Open(target, err)) return false;
    }
    return true;
}

// Finishes every output, then, when all are complete, puts each in its place.
bool FinishAll(std::vector<std::unique_ptr<Output>>& outputs, std::string* err) {
    for (auto& output : outputs)
        if (!output->Finish(err)) return false;
    for (auto& output : outputs)
        if (!output->Commit(err)) return false;
    return true;
}

std::vector<Output*> Pointers(const std::vector<std::unique_ptr<Output>>& outputs) {
    std::vector<Output*> pointers;
    for (const auto& output : outputs) pointers.push_back(output.get());
    return pointers;
}

// How a column of an export is written: as its field reads, less an origin, converted.
struct ColumnWay {
    bool fromOrigin = false;
    double origin = 0.0;
    Conversion unit;
    bool asRead() const { return !fromOrigin && unit.none(); }
};

// Writes a value as its column takes it.
char* WriteValue(double value, const ColumnWay& way, char* out) {
    if (way.fromOrigin) value = RoundedDifference(value, way.origin);
    return WriteExactText(Convert(value, way.unit), out);
}

// The ways of an export's columns: the time, then each chart type, the time and the distance from
// their origins when `fromOrigin`.
std::vector<ColumnWay> ColumnWays(const ExportRequest& request, const std::vector<Channel>& charts,
                                  bool fromOrigin, double time0, double distance0) {
    std::vector<ColumnWay> ways = {{fromOrigin, time0, {}}};
    for (const Channel& chart : charts) {
        bool distance = chart.derived == Derived::kDistance;
        ways.push_back({fromOrigin && distance, distance0, request.units.For(chart)});
    }
    return ways;
}

// The rows of the records `span`, each record's fields written from their text as the shortest
// text of the number they read as, or as its column's way says.
void WriteRows(const std::vector<Output*>& outputs, const std::vector<int>& files,
               const std::vector<ColumnWay>& ways, RecordSpan span) {
    std::vector<RecordStream> streams;
    for (int fd : files) streams.emplace_back(fd, span.first, span.last);
    const std::size_t rowSize = files.size() * (kMaxExactText + 1);
    std::vector<char> block(kRowBlockSize + rowSize);
    char* end = block.data();
    auto hand = [&] {
        for (Output* output : outputs) output->Write(block.data(), end - block.data());
        end = block.data();
    };
    for (std::int64_t record = std::max<std::int64_t>(span.first, 1); record <= span.last;
         ++record) {
        for (std::size_t column = 0; column < streams.size(); ++column) {
            std::string_view field = streams[column].NextText();
            end = ways[column].asRead()
                      ? WriteFieldText(field.data(), field.size(), end)
                      : WriteValue(ParseNumber(field.data(), field.size()), ways[column], end);
            *end++ = ',';
        }
        end[-1] = '\n';
        if (end >= block.data() + kRowBlockSize) hand();
    }
    hand();
}
}  // namespace

std::string ExportName(const Channel& chart) {
    return HasName(chart) ? ChannelName(chart) : "column" + std::to_string(chart.column);
}

std::string ExportHeader(const std::vector<Channel>& charts) {
    std::vector<std::string> header = {"time"};
    for (const Channel& chart : charts) header.push_back(ExportName(chart));
    std::string row;
    AppendCsvRow(header, &row);
    return row;
}

ExportRows::ExportRows(const ExportRequest& request, const std::vector<Channel>& charts,
                       const std::vector<Output*>& targets, ColumnSet& columns)
    : values(charts, columns),
      filter(request.stretch),
      fromStart(request.origin == Origin::kStart),
      outputs(targets) {
    for (const Channel& chart : charts) {
        units.push_back(request.units.For(chart));
        distance.push_back(chart.derived == Derived::kDistance);
    }
    // A block, and room for a whole row past its end, written in place.
    rows.resize(kBlockSize + (charts.size() + 1) * (kMaxExactText + 1));
}

void ExportRows::OnLine(const LogLine& line) {
    if (Satisfied()) return;
    values.Next(line);
    if (!filter.Takes(line.record, values.time())) return;
    char* at = rows.data() + end;
    if (first && fromStart) {
        time0 = values.time();
        for (std::size_t i = 0; i < values.size(); ++i)
            if (distance[i]) distance0 = values.Value(i);
    }
    first = false;
    FieldText time = values.TimeText();
    at = fromStart ? WriteExactText(RoundedDifference(values.time(), time0), at)
                   : WriteFieldText(time.text, time.length, at);
    for (std::size_t i = 0; i < values.size(); ++i) {
        *at++ = ',';
        if (values.measured(i) && units[i].none()) {
            FieldText field = values.Text(i);
            at = WriteFieldText(field.text, field.length, at);
            continue;
        }
        double value = values.Value(i);
        if (fromStart && distance[i]) value = RoundedDifference(value, distance0);
        at = WriteExactText(Convert(value, units[i]), at);
    }
    *at++ = '\n';
    end = static_cast<std::size_t>(at - rows.data());
    if (end >= kBlockSize) Flush();
}

bool ExportRows::Satisfied() const {
    return filter.Passed() ||
           std::any_of(outputs.begin(), outputs.end(), [](Output* out) { return !out->good(); });
}

void ExportRows::Flush() {
    for (Output* output : outputs) output->Write(rows.data(), end);
    end = 0;
}

bool StreamExport(const ExportRequest& request, const std::string& logName,
                  const std::vector<Channel>& charts, std::string* err) {
    if (!CheckLogReadable(logName, err)) return false;
    std::vector<std::unique_ptr<Output>> outputs;
    if (!OpenAll(request.targets, &outputs, err)) return false;
    const std::string header = ExportHeader(charts);
    for (auto& output : outputs) output->Write(header.data(), header.size());
    LogReader reader(logName);
    ExportRows rows(request, charts, Pointers(outputs), reader.columns());
    reader.Add(rows);
    if (!reader.Start(false, err)) return false;
    rows.Flush();
    return FinishAll(outputs, err);
}

bool WriteExport(const ExportRequest& request, RecordSpan span, const std::vector<Channel>& charts,
                 const LogExtraction& extraction, const std::vector<BrakePlace>& brakings,
                 std::string* err) {
    std::vector<int> files = {extraction.timeFile()};
    for (std::size_t chart = 0; chart < charts.size(); ++chart)
        files.push_back(extraction.file(chart));
    // The origins: the time, and the distance when it is a column, at the span's first record or
    // at its first brake application's.
    double time0 = 0.0, distance0 = 0.0;
    bool any = span.first <= span.last;
    auto at = [&](int file, std::int64_t record) {
        return RecordStream(file, record, record).Next();
    };
    std::int64_t origin = span.first;
    if (request.origin == Origin::kBrake) {
        auto place = std::find_if(brakings.begin(), brakings.end(), [&](const BrakePlace& p) {
            return p.startRecord >= span.first && p.startRecord <= span.last;
        });
        if (place == brakings.end())
            return Refuse(err, "plovo: no brake application starts in the export's stretch (" +
                                   (any ? ExactText(at(files[0], span.first)) + "-" +
                                              ExactText(at(files[0], span.last)) + " s"
                                        : std::string("no samples")) +
                                   ", brake_on " + ExactText(request.rule.brakeOn) +
                                   " MPa): --origin brake counts from one");
        origin = place->startRecord;
    }
    if (request.origin != Origin::kLog && any) {
        time0 = at(files[0], origin);
        for (std::size_t chart = 0; chart < charts.size(); ++chart)
            if (charts[chart].derived == Derived::kDistance)
                distance0 = at(files[chart + 1], origin);
    }
    std::vector<ColumnWay> ways =
        ColumnWays(request, charts, request.origin != Origin::kLog, time0, distance0);
    std::vector<std::unique_ptr<Output>> outputs;
    if (!OpenAll(request.targets, &outputs, err)) return false;
    const std::string header = ExportHeader(charts);
    for (auto& output : outputs) output->Write(header.data(), header.size());
    WriteRows(Pointers(outputs), files, ways, span);
    return FinishAll(outputs, err);
}

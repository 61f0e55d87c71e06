// The CSV export: a stretch of the run's records as their time and the chart types' values,
// written as the log is read when it is the run's only output, else from the extraction's files.
#include "export.h"

#include <algorithm>
#include <memory>

#include "number.h"
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

// The rows of the records `span`, each record's fields written from their text as the shortest
// text of the number they read as.
void WriteRows(const std::vector<Output*>& outputs, const std::vector<int>& files,
               RecordSpan span) {
    std::vector<RecordStream> streams;
    for (int fd : files) streams.emplace_back(fd, span.first);
    const std::size_t rowSize = files.size() * (kMaxExactText + 1);
    std::vector<char> block(kRowBlockSize + rowSize);
    char* end = block.data();
    auto hand = [&] {
        for (Output* output : outputs) output->Write(block.data(), end - block.data());
        end = block.data();
    };
    for (std::int64_t record = std::max<std::int64_t>(span.first, 1); record <= span.last;
         ++record) {
        for (RecordStream& stream : streams) {
            std::string_view field = stream.NextText();
            end = WriteFieldText(field.data(), field.size(), end);
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

ExportRows::ExportRows(const std::vector<Channel>& charts, const StretchChoice& stretch,
                       const std::vector<Output*>& targets, ColumnSet& columns)
    : values(charts, columns), filter(stretch), outputs(targets) {
    // A block, and room for a whole row past its end, written in place.
    rows.resize(kBlockSize + (charts.size() + 1) * (kMaxExactText + 1));
}

void ExportRows::OnLine(const LogLine& line) {
    if (Satisfied()) return;
    values.Next(line);
    if (!filter.Takes(line.record, values.time())) return;
    char* at = rows.data() + end;
    FieldText time = values.TimeText();
    at = WriteFieldText(time.text, time.length, at);
    for (std::size_t i = 0; i < values.size(); ++i) {
        *at++ = ',';
        FieldText field = values.measured(i) ? values.Text(i) : FieldText{nullptr, 0};
        at = values.measured(i) ? WriteFieldText(field.text, field.length, at)
                                : WriteExactText(values.Value(i), at);
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
    ExportRows rows(charts, request.stretch, Pointers(outputs), reader.columns());
    reader.Add(rows);
    if (!reader.Start(false, err)) return false;
    rows.Flush();
    return FinishAll(outputs, err);
}

bool WriteExport(const std::vector<std::string>& targets, RecordSpan span,
                 const std::vector<Channel>& charts, const LogExtraction& extraction,
                 std::string* err) {
    std::vector<int> files = {extraction.timeFile()};
    for (std::size_t chart = 0; chart < charts.size(); ++chart)
        files.push_back(extraction.file(chart));
    std::vector<std::unique_ptr<Output>> outputs;
    if (!OpenAll(targets, &outputs, err)) return false;
    const std::string header = ExportHeader(charts);
    for (auto& output : outputs) output->Write(header.data(), header.size());
    WriteRows(Pointers(outputs), files, span);
    return FinishAll(outputs, err);
}

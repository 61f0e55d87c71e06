// The CSV export: a stretch of the run's records as their time and the chart types' values.
#include "export.h"

#include <algorithm>

#include "csv.h"
#include "number.h"

namespace {
// "time,<name>,...\n".
std::string HeaderRow(const std::vector<Channel>& charts) {
    std::vector<std::string> header = {"time"};
    for (const Channel& chart : charts) header.push_back(ExportName(chart));
    std::string row;
    AppendCsvRow(header, &row);
    return row;
}

constexpr std::size_t kRowBlockSize = 1 << 16;  // bytes of rows handed to the stream at once

// The rows of the records `span`, each record's fields written from their text as the shortest
// text of the number they read as.
void WriteRows(std::ostream& out, const std::vector<int>& files, RecordSpan span) {
    std::vector<RecordStream> streams;
    for (int fd : files) streams.emplace_back(fd, span.first);
    const std::size_t rowSize = files.size() * (kMaxExactText + 1);
    std::vector<char> block(kRowBlockSize + rowSize);
    char* end = block.data();
    for (std::int64_t record = std::max<std::int64_t>(span.first, 1); record <= span.last;
         ++record) {
        for (RecordStream& stream : streams) {
            std::string_view field = stream.NextText();
            end = WriteFieldText(field.data(), field.size(), end);
            *end++ = ',';
        }
        end[-1] = '\n';
        if (end < block.data() + kRowBlockSize) continue;
        out.write(block.data(), end - block.data());
        end = block.data();
    }
    out.write(block.data(), end - block.data());
}
}  // namespace

std::string ExportName(const Channel& chart) {
    bool named = chart.derived != Derived::kNone || chart.column <= kChartTypes;
    return named ? ChannelName(chart) : "column" + std::to_string(chart.column);
}

bool StreamExport(const std::string& target, const std::string& logName,
                  const std::vector<Channel>& charts, const StretchChoice& stretch,
                  std::string* err) {
    if (!CheckLogReadable(logName, err)) return false;
    return WriteTable(
        target,
        [&](std::ostream& out, std::string* madeErr) {
            out << HeaderRow(charts);
            LogExtraction extraction(logName.c_str(), charts, LogExtraction::Records::kFiguresOnly);
            extraction.StreamRows(&out, stretch);
            return extraction.Start(false, madeErr);
        },
        err);
}

bool WriteExport(const std::string& target, RecordSpan span, const std::vector<Channel>& charts,
                 const LogExtraction& extraction, std::string* err) {
    std::vector<int> files = {extraction.timeFile()};
    for (std::size_t chart = 0; chart < charts.size(); ++chart)
        files.push_back(extraction.file(chart));
    return WriteTable(
        target,
        [&](std::ostream& out, std::string*) {
            out << HeaderRow(charts);
            WriteRows(out, files, span);
            return true;
        },
        err);
}

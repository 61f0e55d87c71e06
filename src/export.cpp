// The CSV export: a stretch of the run's records as their time and the chart types' values.
#include "export.h"

#include "csv.h"
#include "number.h"

namespace {
constexpr std::size_t kBlockSize = 1 << 16;  // bytes of rows handed to the stream at once

void WriteRows(std::ostream& out, const std::vector<int>& files, RecordSpan span) {
    std::string rows;
    rows.reserve(kBlockSize + files.size() * kMaxExactText + 1);
    char number[kMaxExactText];
    ForEachRow(files, span, [&](std::int64_t, const double* values) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (i > 0) rows += ',';
            rows.append(number, WriteExactText(values[i], number));
        }
        rows += '\n';
        if (rows.size() < kBlockSize) return;
        out.write(rows.data(), static_cast<std::streamsize>(rows.size()));
        rows.clear();
    });
    out.write(rows.data(), static_cast<std::streamsize>(rows.size()));
}
}  // namespace

std::string ExportName(const Channel& chart) {
    bool named = chart.derived != Derived::kNone || chart.column <= kChartTypes;
    return named ? ChannelName(chart) : "column" + std::to_string(chart.column);
}

bool WriteExport(const std::string& target, RecordSpan span, const std::vector<Channel>& charts,
                 const LogExtraction& extraction, std::string* err) {
    std::vector<std::string> header = {"time"};
    std::vector<int> files = {extraction.timeFile()};
    for (std::size_t chart = 0; chart < charts.size(); ++chart) {
        header.push_back(ExportName(charts[chart]));
        files.push_back(extraction.file(chart));
    }
    return WriteTable(
        target,
        [&](std::ostream& out) {
            std::string row;
            AppendCsvRow(header, &row);
            out << row;
            WriteRows(out, files, span);
        },
        err);
}

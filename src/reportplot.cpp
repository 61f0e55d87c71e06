// The report plot of a run: a panel for each chart type, against time or distance, with a second
// run compared.
#include "reportplot.h"

#include <algorithm>
#include <memory>

#include "outputfile.h"
#include "paths.h"
#include "plot.h"
#include "text.h"

namespace {
const Channel kDistance = {0, Derived::kDistance};

// The files a run's rows are read from: its x (the time, or the distance), then the chart types'.
std::vector<int> RowFiles(const LogExtraction& extraction, const std::vector<Channel>& charts,
                          XAxis x) {
    std::vector<Channel> channels = ExtractedChannels(charts, x);
    std::size_t distance =
        std::find(channels.begin(), channels.end(), kDistance) - channels.begin();
    std::vector<int> files = {x == XAxis::kTime ? extraction.timeFile()
                                                : extraction.file(distance)};
    for (std::size_t chart = 0; chart < charts.size(); ++chart)
        files.push_back(extraction.file(chart));
    return files;
}

// The records `span` of a run's files as the plot's rows.
Series RunOf(const std::vector<int>& files, RecordSpan span) {
    return [files, span](const RowVisit& visit) {
        ForEachRow(files, span, [&](std::int64_t, const double* values) {
            visit({values[0], values + 1, true});
        });
    };
}

// The legend's names of the two logs: their file names, or the paths as given where the names
// are the same.
std::vector<std::string> LegendNames(const std::string& log, const std::string& other) {
    bool same = FileName(log) == FileName(other);
    return {Printable(same ? log : FileName(log)), Printable(same ? other : FileName(other))};
}

Plot DescribePlot(const CommandLine& command, const std::string& logName,
                  const std::vector<Channel>& charts) {
    Plot plot;
    plot.size =
        command.plotSizeGiven ? command.plotSize : DefaultPlotSize(static_cast<int>(charts.size()));
    plot.title = command.title ? *command.title : PlotTitle(charts, logName);
    if (command.xAxis == XAxis::kDistance) {
        plot.xLabel = ChannelLabel(kDistance);
        plot.breakWhereXFalls = false;
    }
    for (const Channel& chart : charts) plot.yLabels.push_back(PlotLabel(chart));
    if (!command.compare.empty()) plot.legend = LegendNames(logName, command.compare);
    return plot;
}
}  // namespace

std::vector<Channel> ExtractedChannels(const std::vector<Channel>& charts, XAxis x) {
    std::vector<Channel> channels = charts;
    bool listed = std::find(charts.begin(), charts.end(), kDistance) != charts.end();
    if (x == XAxis::kDistance && !listed) channels.push_back(kDistance);
    return channels;
}

bool SavePlot(const CommandLine& command, RecordSpan span, const std::string& logName,
              const std::vector<Channel>& charts, const LogExtraction& extraction,
              std::string* err) {
    std::vector<Series> runs = {RunOf(RowFiles(extraction, charts, command.xAxis), span)};
    std::unique_ptr<LogExtraction> other;
    if (!command.compare.empty()) {
        other = std::make_unique<LogExtraction>(command.compare.c_str(),
                                                ExtractedChannels(charts, command.xAxis));
        if (!other->Start(false, err)) return false;
        runs.push_back(RunOf(RowFiles(*other, charts, command.xAxis), {1, other->records()}));
    }
    Plot plot = DescribePlot(command, logName, charts);
    auto write = [&](const std::string& file, std::string* reason) {
        return WritePlot(runs, plot, command.plotFormat, file, reason);
    };
    return ReplaceFile(command.plot, write, err);
}

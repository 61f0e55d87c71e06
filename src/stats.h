// The --stats figures: a chart type's figures over the whole log and over a stretch, taken as the
// log is read, and the lines that print them.
#pragma once

#include <optional>
#include <string>

#include "channels.h"
#include "figures.h"
#include "logreader.h"
#include "units.h"

// Takes a chart type's figures line by line: those of every line, and, when a stretch is chosen,
// those of its lines (from the --start/--at record up to --to, as --plot --to finds it).
class StatsFigures final : public LineConsumer {
  public:
    StatsFigures(const Channel& chart, const std::optional<StretchChoice>& stretch,
                 ColumnSet& columns);
    void OnLine(const LogLine& line) override;

    StretchFigures whole() const { return wholeFigures.Figures(); }
    std::optional<StretchFigures> stretch() const;

  private:
    ChannelReader values;
    StretchAccumulator wholeFigures, chosenFigures;
    std::optional<StretchFilter> chosen;
};

// The --stats lines: "log:", "chart:", "samples:" and "time:" of the whole log, then "min:",
// "max:", "first:", "last:", "change:", "integral:" and "mean:" of the whole log or, when given,
// of `stretch`, after a "stretch:" line. Numbers as the shortest text that reads back as the
// same double; the values, each figure converted once, in the unit `units` choose for the chart
// type, which the chart's label (or its label in `labels`) names.
std::string StatsText(const std::string& logName, const Channel& chart, const StretchFigures& whole,
                      const std::optional<StretchFigures>& stretch, const Units& units = {},
                      const Labels& labels = {});

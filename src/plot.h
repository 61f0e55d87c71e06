// Report plots: a run's stretch as panels stacked on one x axis, with a second run compared, their
// texts, and the files written with cairo as PNG, SVG or PDF.
#pragma once

#include <string>
#include <vector>

#include "charttypes.h"
#include "extraction.h"
#include "output.h"
#include "plan.h"
#include "plotdraw.h"
#include "records.h"

// A panel's y title: the chart's label for types 1 .. 11 and derived channels, "Column <N>"
// above 11.
std::string PlotLabel(const Channel& chart);
// The picture's title: "<label> - <log file name>" for one chart, the log file name alone for
// several; the name without its folder, control bytes escaped.
std::string PlotTitle(const std::vector<Channel>& charts, const std::string& logPath);

// Draws the runs as `plot` describes and writes them to `path` in `format` (whatever the path's
// name says), as an Output; the texts are drawn with control bytes and bytes that are not UTF-8
// shown as \xHH escapes. False with one line in err, the file as it was.
bool WritePlot(const std::vector<Series>& runs, const Plot& plot, Format format,
               const std::string& path, std::string* err);

// The channels the plot needs extracted, in this order: the chart types, then distance when
// the plot is drawn against it and it is not among them.
std::vector<Channel> ExtractedChannels(const std::vector<Channel>& charts, XAxis x);

// Draws the records `span` of the log's extraction (of ExtractedChannels(charts, request.x)) as
// the request asks, into each of its files. With a compared log, that log is extracted the same
// way here and its records within the stretch's x range drawn too. False with one line in err.
bool SavePlot(const PlotRequest& request, RecordSpan span, const std::string& logName,
              const std::vector<Channel>& charts, const LogExtraction& extraction,
              std::string* err);

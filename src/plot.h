// Report pictures: their options, their texts, and the file written with cairo as PNG, SVG or
// PDF.
#pragma once

#include <string>
#include <vector>

#include "charttypes.h"
#include "plotdraw.h"

enum class PlotFormat { kPng, kSvg, kPdf };

// The format named by the file name's extension (.png, .svg or .pdf, any case). False for any
// other name, with one line in err.
bool ParsePlotFormat(const std::string& path, PlotFormat* format, std::string* err);

// Reads "WxH", each a whole number from kMinPlotSide to kMaxPlotSide. False with one line in
// err for anything else.
bool ParsePlotSize(const std::string& text, PlotSize* size, std::string* err);

// A panel's y title: the chart's label for types 1 .. 11 and derived channels, "Column <N>"
// above 11.
std::string PlotLabel(const Channel& chart);
// The picture's title: "<label> - <log file name>" for one chart, the log file name alone for
// several; the name without its folder, control bytes escaped.
std::string PlotTitle(const std::vector<Channel>& charts, const std::string& logPath);

// Draws the runs as `plot` describes and writes them to `path` in `format` (whatever the path's
// name says); the texts are drawn with control bytes and bytes that are not UTF-8 shown as \xHH
// escapes. False with the reason in err (one line, such as "No space left on device"); the file
// may then hold part of a picture.
bool WritePlot(const std::vector<Series>& runs, const Plot& plot, PlotFormat format,
               const std::string& path, std::string* err);

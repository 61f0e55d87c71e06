// Report plots: their texts, and the files written with cairo as PNG (with its resolution), SVG
// or PDF.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "charttypes.h"
#include "output.h"
#include "plotdraw.h"

// A panel's y title: the chart's label for types 1 .. 11 and derived channels, "Column <N>"
// above 11.
std::string PlotLabel(const Channel& chart);
// The picture's title: "<label> - <log file name>" for one panel (labelled `labels[0]`), the log
// file name alone for several; the name without its folder, control bytes escaped.
std::string PlotTitle(const std::vector<std::string>& labels, const std::string& logPath);

// Where a plot's bytes go; false when they cannot be taken.
using PlotBytes = std::function<bool(const unsigned char* data, std::size_t length)>;

// Draws the runs as `plot` describes in `format` and hands the bytes to `write`: a PNG carries
// plot.pixelsPerMetre in a pHYs chunk after its header (its width as 16 cm when 0). The texts are
// drawn with control bytes and bytes that are not UTF-8 shown as \xHH escapes. `drawn`, when
// given, gets whether each run drew anything. False with cairo's reason in `why`.
bool RenderPlot(const std::vector<Series>& runs, const Plot& plot, Format format,
                const PlotBytes& write, std::vector<bool>* drawn, std::string* why);

// RenderPlot into the file `path`, in `format` (whatever the path's name says), as an Output.
// False with one line in err, the file as it was.
bool WritePlot(const std::vector<Series>& runs, const Plot& plot, Format format,
               const std::string& path, std::string* err, std::vector<bool>* drawn = nullptr);

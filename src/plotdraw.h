// Drawing a report plot with cairo: panels stacked on one x axis, their grids, the runs' lines,
// axes, titles and the legend that names the runs.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "plotdata.h"
#include "plotlayout.h"

// A thin line across every panel at x (a brake application, a stop), its text at the top.
struct PlotMark {
    double x;
    std::string text;
};

// What the picture shows beside the runs; texts must be UTF-8.
struct Plot {
    PlotSize size;
    std::string title;  // "" for none
    std::string xLabel = "Time [s]";
    std::vector<std::string> yLabels;  // one panel each, top to bottom
    std::vector<std::string> legend;   // the runs' names, shown in the top panel for two or more
    // x is time: a record earlier than the one before begins a new line. Along the line a step
    // back is the vehicle's own, drawn on.
    bool breakWhereXFalls = true;
    std::vector<PlotMark> marks;  // those within the x range are drawn
    // The resolution a PNG carries, pixels a metre; 0: the width's at 16 cm.
    double pixelsPerMetre = 0;
};

// Draws the runs, one value per panel each (Row::values holds plot.yLabels.size() of them): the
// first in blue over the x range of its stretch, the later ones in other colours within that
// range, under it; then the marks. Returns whether each run drew anything: one that did not is
// "no samples" in the legend.
std::vector<bool> DrawPlot(cairo_t* cr, const std::vector<Series>& runs, const Plot& plot);

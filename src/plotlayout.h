// The report plot's layout: sizes that grow with the picture, and the panels stacked on one x
// axis with one left edge, planned before anything is drawn.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plan.h"
#include "plotdata.h"
#include "plotscale.h"

// The picture for `panels` panels when no size is given: 800 wide, 500 high for one panel and 250
// higher for each further one, at most kMaxPlotSide.
PlotSize DefaultPlotSize(int panels);

// Sizes that grow with the picture, in pixels. At the default size, a picture set 16 cm wide in
// a report (0.567 pt a pixel) shows its tick labels at 8.5 pt, the axis titles at 9.4 pt and
// the title at 10.8 pt.
struct PlotStyle {
    double font;       // tick labels, the legend, "no data"
    double labelFont;  // the axes' titles
    double titleFont;  // the picture's title
    double line;       // the data lines
    double thin;       // axes, ticks and grid
    double tick;       // tick length
    double pad;        // space between pieces
    double gap;        // between two panels
};
// The style for a picture of `size` holding `panels` panels, scaled by its size against the
// default one for that many panels.
PlotStyle StyleFor(PlotSize size, int panels = 1);

// A panel's plot area, from top to bottom in pixels.
struct PanelBand {
    double top, bottom;
};

// Where the pieces go, in pixels from the picture's top left corner.
struct PlotLayout {
    double left, right;             // every panel's plot area
    std::vector<PanelBand> panels;  // top to bottom
    double titleBaseline;
    double xTickTop;        // top of the x tick labels, under the bottom panel
    double xLabelBaseline;  // the x axis's title, centred under the panels
    double yLabelX;         // baseline of the panels' y titles, written upwards
    double yTickRight;      // right end of the y tick labels
};
// The layout for a picture of `panels` panels whose y tick labels are up to yTickWidth pixels
// wide and whose tick labels are textHeight pixels high (digits, ascent only); without a title
// the panels take its room.
PlotLayout LayoutPlot(PlotSize size, const PlotStyle& style, double textHeight, double yTickWidth,
                      int panels = 1, bool titled = true);

// What the drawing needs before it draws: the layout, whose left edge leaves room for the widest
// y tick label of every panel, the x ticks, labelled under the bottom panel only, and each
// panel's y ticks, labelled within its own band.
struct PlotPlan {
    PlotStyle style;
    PlotLayout layout;
    double textHeight;  // of the tick labels' digits
    std::vector<Tick> xTicks;
    std::vector<std::vector<Tick>> yTicks;  // one list per panel
};
// The width in pixels of a text at the tick labels' font.
using TextMeasure = std::function<double(const std::string& text)>;
PlotPlan PlanPlot(PlotSize size, const PlotStyle& style, const PlotRanges& ranges, bool titled,
                  double textHeight, const TextMeasure& width);

// The report plot's layout: sizes that grow with the picture, and the panels stacked on one x
// axis with one left edge, planned before anything is drawn.
#include "plotlayout.h"

#include <algorithm>
#include <cmath>

PlotSize DefaultPlotSize(int panels) {
    return {800, std::min(500 + 250 * (std::max(panels, 1) - 1), kMaxPlotSide)};
}

PlotStyle StyleFor(PlotSize size, int panels) {
    PlotSize normal = DefaultPlotSize(panels);
    double scale = std::max(
        0.5, std::min(size.width / double(normal.width), size.height / double(normal.height)));
    return {15 * scale, 16.5 * scale, 19 * scale, 2 * scale, std::max(1.0, std::round(scale)),
            5 * scale,  5 * scale,    15 * scale};
}

PlotLayout LayoutPlot(PlotSize size, const PlotStyle& style, double textHeight, double yTickWidth,
                      int panels, bool titled) {
    const double descent = 0.25 * style.font;  // below the baseline, for brackets and commas
    const double labelHeight = textHeight * style.labelFont / style.font;
    PlotLayout layout;
    layout.titleBaseline = 1.5 * style.pad + textHeight * style.titleFont / style.font;
    double top = titled ? layout.titleBaseline + descent + 2 * style.pad
                        : 2 * style.pad + textHeight / 2;  // room for the top tick's label
    layout.xLabelBaseline = size.height - style.pad - descent;
    layout.xTickTop = layout.xLabelBaseline - labelHeight - 1.5 * style.pad - textHeight;
    double bottom = layout.xTickTop - style.pad - style.tick;
    layout.yLabelX = style.pad + labelHeight + descent;
    layout.yTickRight = layout.yLabelX + 1.5 * style.pad + yTickWidth;
    layout.left = layout.yTickRight + style.pad + style.tick;
    layout.right = size.width - 2 * style.font;
    // A picture too small for its labels still gets plot areas of a pixel.
    layout.left = std::min(layout.left, layout.right - 1);
    panels = std::max(panels, 1);
    double gap = style.gap, height = (bottom - top - gap * (panels - 1)) / panels;
    if (height < 1) gap = 0, height = std::max(1.0, (bottom - top) / panels);
    for (int panel = 0; panel < panels; ++panel) {
        double panelTop = top + panel * (height + gap);
        layout.panels.push_back({panelTop, panelTop + height});
    }
    return layout;
}

PlotPlan PlanPlot(PlotSize size, const PlotStyle& style, const PlotRanges& ranges, bool titled,
                  double textHeight, const TextMeasure& width) {
    PlotPlan plan;
    plan.style = style;
    plan.textHeight = textHeight;
    int panels = static_cast<int>(ranges.y.size());
    // The panels' heights do not depend on the y labels' width: choose the y ticks first.
    PlotLayout rows = LayoutPlot(size, style, textHeight, 0, panels, titled);
    double yTickWidth = 0;
    for (int panel = 0; panel < panels; ++panel) {
        const PanelBand& band = rows.panels[panel];
        double above = panel == 0 ? style.pad : style.gap / 2;
        double below = panel + 1 == panels ? rows.xTickTop - band.bottom : style.gap / 2;
        LabelRoom room = {band.top - above, band.bottom + below, 2.5 * style.font,
                          [textHeight](const std::string&) { return textHeight; }};
        plan.yTicks.push_back(ranges.panelEmpty[panel]
                                  ? std::vector<Tick>()
                                  : ChooseTicks(ranges.y[panel], band.bottom, band.top, room));
        for (const Tick& tick : plan.yTicks.back())
            yTickWidth = std::max(yTickWidth, width(tick.text));
    }
    plan.layout = LayoutPlot(size, style, textHeight, yTickWidth, panels, titled);
    LabelRoom xRoom = {0, static_cast<double>(size.width), 4 * style.font, width};
    if (!ranges.empty)
        plan.xTicks = ChooseTicks(ranges.x, plan.layout.left, plan.layout.right, xRoom);
    return plan;
}

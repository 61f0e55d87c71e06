// Drawing a report plot with cairo: panels stacked on one x axis, their grids, the runs' lines,
// axes, titles and the legend that names the runs.
#include "plotdraw.h"

#include <algorithm>
#include <cmath>

#include "decimator.h"

namespace {
constexpr std::size_t kStrokeChunk = 2048;  // path points stroked at a time: the path stays small

struct Colour {
    double r, g, b;
};
constexpr Colour kBackground = {1.0, 1.0, 1.0};
constexpr Colour kInk = {0.0, 0.0, 0.0};  // axes, ticks, text
constexpr Colour kGrid = {0.86, 0.86, 0.86};
constexpr Colour kNoData = {0.45, 0.45, 0.45};
constexpr Colour kLegendEdge = {0.6, 0.6, 0.6};
constexpr Colour kMark = {0.3, 0.3, 0.3};  // darker than the grid, lighter than the axes
// The runs' lines: a blue that stands out from black and grey, then an orange that a reader
// who cannot tell red from green tells from it, then darker ones.
constexpr Colour kRuns[] = {{0.0, 0.36, 0.75}, {0.85, 0.37, 0.0}, {0.2, 0.6, 0.2}, {0.5, 0.2, 0.6}};
const char* const kFontFace = "DejaVu Sans";

Colour RunColour(std::size_t run) {
    return kRuns[run % (sizeof kRuns / sizeof kRuns[0])];
}

void SetColour(cairo_t* cr, Colour colour) {
    cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
}

void SetFont(cairo_t* cr, double size, bool bold = false) {
    cairo_select_font_face(cr, kFontFace, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

double TextWidth(cairo_t* cr, const std::string& text) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance;
}

// Text with its baseline at y; align 0 puts its start at x, 0.5 its middle, 1 its end.
void ShowText(cairo_t* cr, const std::string& text, double x, double y, double align) {
    cairo_move_to(cr, x - align * TextWidth(cr, text), y);
    cairo_show_text(cr, text.c_str());
}

// Sets the font at `size`, or smaller where `text` would be wider than `room` pixels.
void FitFont(cairo_t* cr, const std::string& text, double size, double room, bool bold = false) {
    SetFont(cr, size, bold);
    double width = TextWidth(cr, text);
    if (width > room && room > 0) SetFont(cr, size * room / width, bold);
}

// A line `width` pixels wide at `position` falls on whole pixels, so that it stays sharp.
double Crisp(double position, double width) {
    return std::round(position - width / 2) + width / 2;
}

// A rectangle in pixels.
struct Box {
    double x, y, width, height;
    bool Holds(double px, double py) const {
        return px >= x && px <= x + width && py >= y && py <= y + height;
    }
};

Box PanelBox(const PlotLayout& l, std::size_t panel) {
    return {l.left, l.panels[panel].top, l.right - l.left,
            l.panels[panel].bottom - l.panels[panel].top};
}

void DrawGrid(cairo_t* cr, const PlotPlan& plan) {
    const PlotLayout& l = plan.layout;
    double width = plan.style.thin;
    cairo_set_line_width(cr, width);
    SetColour(cr, kGrid);
    for (std::size_t panel = 0; panel < l.panels.size(); ++panel) {
        const PanelBand& band = l.panels[panel];
        for (const Tick& tick : plan.xTicks) {
            cairo_move_to(cr, Crisp(tick.position, width), band.top);
            cairo_line_to(cr, Crisp(tick.position, width), band.bottom);
        }
        for (const Tick& tick : plan.yTicks[panel]) {
            cairo_move_to(cr, l.left, Crisp(tick.position, width));
            cairo_line_to(cr, l.right, Crisp(tick.position, width));
        }
    }
    cairo_stroke(cr);
}

// Strokes a panel's line as the decimator gives it, clipped to the panel, kStrokeChunk points at
// a time so that the path stays small whatever the stretch. Counts the points that fall in each
// of `spots` (the legend's places, in the top panel).
class PanelPen {
  public:
    PanelPen(cairo_t* cr, Box box, Colour colour, double width, std::vector<Box> spots = {})
        : cr(cr), box(box), colour(colour), width(width), spots(std::move(spots)) {
        counts.assign(this->spots.size(), 0);
    }

    void Add(double px, double py, bool move) {
        Point point = {box.x + px, box.y + py, move};
        if (points.size() >= kStrokeChunk) {
            Point last = points.back();
            Stroke();
            if (!move) points.push_back({last.x, last.y, true});
        }
        points.push_back(point);
        Count(point.x, point.y);
    }

    // A lone sample's mark over the rows whose centres are top .. bottom, twice as wide as the
    // line so that it shows: the outline of a disc of the line's width (drawn out into a capsule
    // over several rows), which the stroke fills.
    void Mark(double px, double top, double bottom) {
        if (points.size() + marks.size() >= kStrokeChunk) Stroke();
        marks.push_back({box.x + px, box.y + top, box.y + bottom});
        Count(box.x + px, box.y + top);
    }

    void Stroke() {
        if (points.empty() && marks.empty()) return;
        cairo_save(cr);
        cairo_rectangle(cr, box.x, box.y, box.width, box.height);
        cairo_clip(cr);
        SetColour(cr, colour);
        cairo_set_line_width(cr, width);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        for (const Point& p : points) (p.move ? cairo_move_to : cairo_line_to)(cr, p.x, p.y);
        for (const Spot& m : marks) {
            cairo_new_sub_path(cr);
            cairo_arc(cr, m.x, m.top, width / 2, M_PI, 2 * M_PI);
            cairo_arc(cr, m.x, m.bottom, width / 2, 0, M_PI);
            cairo_close_path(cr);
        }
        cairo_stroke(cr);
        cairo_restore(cr);
        points.clear();
        marks.clear();
    }

    const Box& area() const { return box; }
    std::vector<long long> counts;  // points in each spot

  private:
    struct Point {
        double x, y;
        bool move;
    };
    struct Spot {
        double x, top, bottom;
    };
    void Count(double x, double y) {
        for (std::size_t i = 0; i < spots.size(); ++i) counts[i] += spots[i].Holds(x, y);
    }
    cairo_t* cr;
    Box box;
    Colour colour;
    double width;
    std::vector<Box> spots;
    std::vector<Point> points;
    std::vector<Spot> marks;
};

// One run's lines in every panel, in one pass over its records.
void DrawRun(const Series& run, const PlotRanges& ranges, bool breakWhereXFalls,
             std::vector<PanelPen>& pens) {
    std::vector<Decimator> lines;
    for (PanelPen& pen : pens)
        lines.emplace_back(
            static_cast<int>(std::ceil(pen.area().height)),
            [&pen](double x, double y, bool move) { pen.Add(x, y, move); },
            [&pen](double x, double top, double bottom) { pen.Mark(x, top, bottom); });
    const double width = pens[0].area().width;
    double lastX = -INFINITY;
    run([&](const Row& row) {
        bool split = !row.follows || (breakWhereXFalls && row.x < lastX);
        if (std::isfinite(row.x)) lastX = row.x;
        double x = ToPixel(row.x, ranges.x, 0, width);
        for (std::size_t panel = 0; panel < lines.size(); ++panel) {
            double value = row.values[panel];
            bool drawn = std::isfinite(row.x) && std::isfinite(value);
            if (split || !drawn) lines[panel].Break();
            if (drawn)
                lines[panel].Add(x, ToPixel(value, ranges.y[panel], pens[panel].area().height, 0));
        }
    });
    for (std::size_t panel = 0; panel < lines.size(); ++panel) {
        lines[panel].Finish();
        pens[panel].Stroke();
    }
}

// The legend's size: a short line in each run's colour and its name beside it.
struct Legend {
    double font, width, height, row;
};

Legend MeasureLegend(cairo_t* cr, const PlotPlan& plan, const std::vector<std::string>& names) {
    const PlotStyle& s = plan.style;
    double room = plan.layout.right - plan.layout.left - 6 * s.pad - 2 * s.font, widest = 0;
    SetFont(cr, s.font);
    for (const std::string& name : names) widest = std::max(widest, TextWidth(cr, name));
    Legend legend;
    legend.font = widest > room && room > 0 ? s.font * room / widest : s.font;
    double scale = legend.font / s.font;
    legend.row = 1.6 * plan.textHeight * scale;
    legend.width = 4 * s.pad + 2 * s.font + widest * scale;
    legend.height = 2 * s.pad + plan.textHeight * scale + (names.size() - 1) * legend.row;
    return legend;
}

// The legend's places in the top panel, in the order they are preferred: its corners, top right
// first.
std::vector<Box> LegendSpots(const PlotPlan& plan, const Legend& legend) {
    Box panel = PanelBox(plan.layout, 0);
    double pad = plan.style.pad;
    double left = panel.x + pad, right = panel.x + panel.width - pad - legend.width;
    double top = panel.y + pad, bottom = panel.y + panel.height - pad - legend.height;
    std::vector<Box> spots;
    for (auto [x, y] : {std::pair{right, top}, {left, top}, {right, bottom}, {left, bottom}})
        spots.push_back({x, y, legend.width, legend.height});
    return spots;
}

void DrawLegend(cairo_t* cr, const PlotPlan& plan, const Legend& legend, Box spot,
                const std::vector<std::string>& names) {
    const PlotStyle& s = plan.style;
    cairo_rectangle(cr, Crisp(spot.x, s.thin), Crisp(spot.y, s.thin), std::round(spot.width),
                    std::round(spot.height));
    SetColour(cr, kBackground);
    cairo_fill_preserve(cr);
    SetColour(cr, kLegendEdge);
    cairo_set_line_width(cr, s.thin);
    cairo_stroke(cr);
    SetFont(cr, legend.font);
    double textHeight = plan.textHeight * legend.font / s.font;
    for (std::size_t run = 0; run < names.size(); ++run) {
        double baseline = spot.y + s.pad + textHeight + run * legend.row;
        double x = spot.x + s.pad;
        SetColour(cr, RunColour(run));
        cairo_set_line_width(cr, s.line);
        cairo_move_to(cr, x, baseline - textHeight / 2);
        cairo_line_to(cr, x + 2 * s.font, baseline - textHeight / 2);
        cairo_stroke(cr);
        ShowText(cr, names[run], x + 2 * s.font + 2 * s.pad, baseline, 0.0);
    }
}

// A mark's line, in pixels, and the box its label is drawn in.
struct MarkLabel {
    double x;
    Box box;
    std::string text;
};

// The marks within the x range, each labelled at the top of the top panel: right of its line
// (left of it near the panel's right edge), in the first of three rows where it clears the
// labels before it, else in the first row.
std::vector<MarkLabel> PlaceMarks(cairo_t* cr, const PlotPlan& plan, const PlotRanges& ranges,
                                  std::vector<PlotMark> marks) {
    const PlotStyle& s = plan.style;
    Box panel = PanelBox(plan.layout, 0);
    std::stable_sort(marks.begin(), marks.end(),
                     [](const PlotMark& a, const PlotMark& b) { return a.x < b.x; });
    SetFont(cr, 0.9 * s.font);
    const double height = 0.9 * plan.textHeight + s.pad;
    std::vector<MarkLabel> placed;
    for (const PlotMark& mark : marks) {
        if (!(mark.x >= ranges.x.lo && mark.x <= ranges.x.hi)) continue;
        double x = panel.x + ToPixel(mark.x, ranges.x, 0, panel.width);
        double width = TextWidth(cr, mark.text) + s.pad;
        double left =
            x + width + s.pad <= panel.x + panel.width ? x + s.pad / 2 : x - width - s.pad / 2;
        Box box = {left, panel.y + s.pad / 2, width, height};
        for (int row = 0; row < 3; ++row) {
            Box tried = {left, panel.y + s.pad / 2 + row * (height + s.pad / 2), width, height};
            bool clear = std::none_of(placed.begin(), placed.end(), [&](const MarkLabel& other) {
                return other.box.y == tried.y && other.box.x < tried.x + tried.width + s.pad &&
                       tried.x < other.box.x + other.box.width + s.pad;
            });
            if (clear) {
                box = tried;
                break;
            }
        }
        placed.push_back({x, box, mark.text});
    }
    return placed;
}

// The marks' lines across every panel, then their labels on white.
void DrawMarks(cairo_t* cr, const PlotPlan& plan, const std::vector<MarkLabel>& marks) {
    const PlotStyle& s = plan.style;
    SetColour(cr, kMark);
    cairo_set_line_width(cr, s.thin);
    for (const MarkLabel& mark : marks)
        for (const PanelBand& band : plan.layout.panels) {
            cairo_move_to(cr, Crisp(mark.x, s.thin), band.top);
            cairo_line_to(cr, Crisp(mark.x, s.thin), band.bottom);
        }
    cairo_stroke(cr);
    SetFont(cr, 0.9 * s.font);
    for (const MarkLabel& mark : marks) {
        SetColour(cr, kBackground);
        cairo_rectangle(cr, mark.box.x, mark.box.y, mark.box.width, mark.box.height);
        cairo_fill(cr);
        SetColour(cr, kMark);
        ShowText(cr, mark.text, mark.box.x + s.pad / 2,
                 mark.box.y + s.pad / 2 + 0.9 * plan.textHeight, 0.0);
    }
}

bool Overlap(const Box& a, const Box& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

// Every run's lines, the later runs under the first, and the marks over them; then the legend,
// for several runs, where the first panel's lines leave most room and no mark's label is. A run
// that draws nothing is "no samples" there.
void DrawRuns(cairo_t* cr, const std::vector<Series>& runs, const PlotRanges& ranges,
              const PlotPlan& plan, const Plot& plot) {
    std::vector<MarkLabel> marks = PlaceMarks(cr, plan, ranges, plot.marks);
    std::vector<std::string> names = plot.legend;
    for (std::size_t run = 1; run < names.size() && run < ranges.runDrawn.size(); ++run)
        if (!ranges.runDrawn[run]) names[run] += ": no samples";
    bool legend = runs.size() > 1 && names.size() == runs.size();
    Legend size = legend ? MeasureLegend(cr, plan, names) : Legend{};
    std::vector<Box> spots = legend ? LegendSpots(plan, size) : std::vector<Box>{};
    std::vector<long long> crowded(spots.size(), 0);
    for (std::size_t i = 0; i < spots.size(); ++i)
        for (const MarkLabel& mark : marks)
            if (Overlap(spots[i], mark.box)) crowded[i] += 1LL << 40;
    for (std::size_t run = runs.size(); run-- > 0;) {
        std::vector<PanelPen> pens;
        for (std::size_t panel = 0; panel < plan.layout.panels.size(); ++panel)
            pens.emplace_back(cr, PanelBox(plan.layout, panel), RunColour(run), plan.style.line,
                              panel == 0 ? spots : std::vector<Box>{});
        Series shown = run == 0 ? runs[0] : Within(runs[run], ranges.xLo, ranges.xHi);
        DrawRun(shown, ranges, plot.breakWhereXFalls, pens);
        for (std::size_t i = 0; i < spots.size(); ++i) crowded[i] += pens[0].counts[i];
    }
    DrawMarks(cr, plan, marks);
    if (!legend) return;
    std::size_t best = std::min_element(crowded.begin(), crowded.end()) - crowded.begin();
    DrawLegend(cr, plan, size, spots[best], names);
}

void DrawAxes(cairo_t* cr, const PlotPlan& plan) {
    const PlotLayout& l = plan.layout;
    const PlotStyle& s = plan.style;
    SetColour(cr, kInk);
    cairo_set_line_width(cr, s.thin);
    double left = Crisp(l.left, s.thin), right = Crisp(l.right, s.thin);
    for (std::size_t panel = 0; panel < l.panels.size(); ++panel) {
        double top = Crisp(l.panels[panel].top, s.thin);
        double bottom = Crisp(l.panels[panel].bottom, s.thin);
        cairo_rectangle(cr, left, top, right - left, bottom - top);
        for (const Tick& tick : plan.xTicks) {
            cairo_move_to(cr, Crisp(tick.position, s.thin), bottom);
            cairo_line_to(cr, Crisp(tick.position, s.thin), bottom + s.tick);
        }
        for (const Tick& tick : plan.yTicks[panel]) {
            cairo_move_to(cr, left, Crisp(tick.position, s.thin));
            cairo_line_to(cr, left - s.tick, Crisp(tick.position, s.thin));
        }
    }
    cairo_stroke(cr);
    SetFont(cr, s.font);
    for (const Tick& tick : plan.xTicks)
        ShowText(cr, tick.text, tick.position, l.xTickTop + plan.textHeight, 0.5);
    for (const std::vector<Tick>& ticks : plan.yTicks)
        for (const Tick& tick : ticks)
            ShowText(cr, tick.text, l.yTickRight, tick.position + plan.textHeight / 2, 1.0);
}

// The titles: the x axis's under the bottom panel, each panel's y title beside it (smaller where
// the panel is shorter than it), the picture's on top (smaller where the picture is narrower),
// and "no data" in a panel no run draws in.
void DrawLabels(cairo_t* cr, const PlotPlan& plan, const Plot& plot, const PlotRanges& ranges) {
    const PlotLayout& l = plan.layout;
    const PlotStyle& s = plan.style;
    SetColour(cr, kInk);
    SetFont(cr, s.labelFont);
    ShowText(cr, plot.xLabel, (l.left + l.right) / 2, l.xLabelBaseline, 0.5);
    for (std::size_t panel = 0; panel < l.panels.size(); ++panel) {
        const PanelBand& band = l.panels[panel];
        FitFont(cr, plot.yLabels[panel], s.labelFont, band.bottom - band.top + s.gap);
        cairo_save(cr);
        cairo_translate(cr, l.yLabelX, (band.top + band.bottom) / 2);
        cairo_rotate(cr, -M_PI / 2);
        ShowText(cr, plot.yLabels[panel], 0, 0, 0.5);
        cairo_restore(cr);
        if (!ranges.panelEmpty[panel]) continue;
        SetColour(cr, kNoData);
        SetFont(cr, 1.5 * s.font);
        ShowText(cr, "no data", (l.left + l.right) / 2,
                 (band.top + band.bottom) / 2 + 0.75 * plan.textHeight, 0.5);
        SetColour(cr, kInk);
    }
    if (plot.title.empty()) return;
    FitFont(cr, plot.title, s.titleFont, plot.size.width - 2 * s.pad, true);
    ShowText(cr, plot.title, plot.size.width / 2.0, l.titleBaseline, 0.5);
}
}  // namespace

std::vector<bool> DrawPlot(cairo_t* cr, const std::vector<Series>& runs, const Plot& plot) {
    PlotRanges ranges = FindRanges(runs, plot.yLabels.size());
    SetColour(cr, kBackground);
    cairo_paint(cr);
    int panels = static_cast<int>(plot.yLabels.size());
    PlotStyle style = StyleFor(plot.size, panels);
    SetFont(cr, style.font);
    cairo_text_extents_t digits;
    cairo_text_extents(cr, "0123456789", &digits);
    PlotPlan plan = PlanPlot(plot.size, style, ranges, !plot.title.empty(), digits.height,
                             [cr](const std::string& text) { return TextWidth(cr, text); });
    DrawGrid(cr, plan);
    if (!ranges.empty) DrawRuns(cr, runs, ranges, plan, plot);
    DrawAxes(cr, plan);
    DrawLabels(cr, plan, plot, ranges);
    return ranges.runDrawn;
}

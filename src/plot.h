// Report pictures: a chart of a stretch of the run against time, drawn with cairo as PNG, SVG or
// PDF.
#pragma once

#include <functional>
#include <string>
#include <vector>

// One record of a stretch: its time in seconds and its value.
using StretchVisit = std::function<void(double time, double value)>;
// Calls visit for each record of the stretch, in order. The plot replays it: one pass for the
// ranges, one for the drawing; nothing of the stretch's size is kept in between.
using Stretch = std::function<void(const StretchVisit& visit)>;

enum class PlotFormat { kPng, kSvg, kPdf };

// The format named by the file name's extension (.png, .svg or .pdf, any case). False for any
// other name, with one line in err.
bool ParsePlotFormat(const std::string& path, PlotFormat* format, std::string* err);

// Picture size in pixels (points for PDF, px for SVG).
struct PlotSize {
    int width = 800;
    int height = 500;
};
constexpr int kMinPlotSide = 100;
constexpr int kMaxPlotSide = 10000;

// Reads "WxH", each a whole number from kMinPlotSide to kMaxPlotSide. False with one line in
// err for anything else.
bool ParsePlotSize(const std::string& text, PlotSize* size, std::string* err);

// The y axis's label: the chart's label for types 1 .. 11, "Column <N>" above.
std::string PlotLabel(int chartType);
// "<label> - <log file name>", the name without its folder, control bytes escaped.
std::string PlotTitle(int chartType, const std::string& logPath);

struct Plot {
    PlotSize size;
    std::string title;
    std::string xLabel = "Time [s]";
    std::string yLabel;
};

// Draws the stretch as `plot` describes and writes it to `path` in `format` (whatever the
// path's name says); the texts are drawn with control bytes and bytes that are not UTF-8 shown
// as \xHH escapes. False with the reason in err (one line, such as "No space left on
// device"); the file may then hold part of a picture.
bool WritePlot(const Stretch& stretch, const Plot& plot, PlotFormat format, const std::string& path,
               std::string* err);

// The pieces of the drawing, pure, for their tests.

// A data range; lo < hi once fitted.
struct Range {
    double lo = 0.0;
    double hi = 1.0;
};

// The range an axis shows for samples from lo to hi: `margin` of their span added on each side;
// a span too small to label in a double's digits (below 1e-13 of the values, a few hundred units
// in the last place, or none) widened around its middle. Stays within the finite doubles.
Range FitRange(double lo, double hi, double margin);

// The ranges of a stretch's drawable records (time and value both finite); none: empty.
struct StretchRanges {
    bool empty = true;
    Range time, value;
};
StretchRanges FindRanges(const Stretch& stretch);

// A tick: its value, its place along the axis in pixels, and its label.
struct Tick {
    double value;
    double position;
    std::string text;
};

// The labels of an axis's tick values k * 10^exponent, ticks a multiple of 10^exponent apart, all
// in one form: plain numbers with as many decimals as the step needs ("0.0005", "200000", "-2.5"),
// or, where a step is below 1e-10 or a value reaches 1e15, exponent form with as many decimals
// as the longest needs ("9.80e+14", "1.00e+15", "1.02e+15"). Zero is "0" in either.
std::vector<std::string> TickTexts(const std::vector<long long>& ks, int exponent);

// Where labels may go along an axis: each label is `extent` pixels long, centred on its tick,
// lies within [edgeLo, edgeHi] and keeps `gap` pixels from its neighbours.
struct LabelRoom {
    double edgeLo, edgeHi, gap;
    std::function<double(const std::string& text)> extent;
};

// The collision rule: true when a label of `extent` pixels centred at `position` stays within
// the edges and `gap` clear of the previous label's far end (prevEnd; -infinity for none).
bool LabelFits(const LabelRoom& room, double position, double extent, double prevEnd);

// Ticks at 1, 2 or 5 times a power of ten for values lo .. hi shown at pixels from .. to (to may
// be below from, as on a y axis): the closest spacing whose labels fit the room, a tick whose
// label would cross an edge left out. At least two ticks where any spacing gives two; else one,
// or none.
std::vector<Tick> ChooseTicks(Range range, double from, double to, const LabelRoom& room);

// Reduces a line, given point by point in pixels, to what one pixel column can show: of the
// points of a line in a column, the first, the lowest, the highest and the last, in their order,
// so that a spike survives and a million points draw as a few thousand. A line that begins and
// ends within one column (a lone sample between breaks) becomes a mark over the rows it covers,
// merged with the column's other marks, so that no input makes the output grow past the picture.
class Decimator {
  public:
    // Draws to (x, y): a new line when move, else on from the pen's last point.
    using Pen = std::function<void(double x, double y, bool move)>;
    // Marks lone samples at column centre x, over the rows whose centres are top .. bottom.
    using Mark = std::function<void(double x, double top, double bottom)>;
    // rows: the plot's height in pixels; rows of marks are 0 .. rows - 1.
    Decimator(int rows, Pen pen, Mark mark);
    // The next point of the line, in pixels from the plot's top left corner.
    void Add(double x, double y);
    // Ends the line; the next point starts a new one.
    void Break();
    // Ends the line and draws everything pending.
    void Finish();

  private:
    struct Point {
        double x, y;
    };
    void DrawPiece();
    void MarkDots();
    void DrawDots();

    Pen pen;
    Mark mark;
    bool pending = false;   // a line goes on and has points in `column`
    bool joinedIn = false;  // that line came into `column` from an earlier one
    long long column = 0;   // pixel column of the pending points
    Point first{}, low{}, high{}, last{};
    long long lowAt = 0, highAt = 0, count = 0;  // order of the points within the column
    std::vector<unsigned char> dots;             // rows of `dotColumn` covered by dots
    long long dotColumn = 0;
    int dotLo, dotHi;  // the rows of dots set; dotLo > dotHi for none
};

// Sizes that grow with the picture, in pixels.
struct PlotStyle {
    double font;       // tick labels and axis labels
    double titleFont;  // the title
    double line;       // the data line
    double thin;       // axes, ticks and grid
    double tick;       // tick length
    double pad;        // space between pieces
};
PlotStyle StyleFor(PlotSize size);

// Where the pieces go, in pixels from the picture's top left corner.
struct PlotLayout {
    double left, top, right, bottom;  // the plot area
    double titleBaseline;
    double xTickTop;        // top of the x tick labels
    double xLabelBaseline;  // the x axis's label, centred under the plot
    double yLabelX;         // baseline of the y axis's label, written upwards
    double yTickRight;      // right end of the y tick labels
};
// The layout for a picture whose y tick labels are up to yTickWidth pixels wide and whose text is
// textHeight pixels high (digits, ascent only).
PlotLayout LayoutPlot(PlotSize size, const PlotStyle& style, double textHeight, double yTickWidth);

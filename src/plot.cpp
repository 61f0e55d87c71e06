// Report pictures: a chart of a stretch of the run against time, drawn with cairo as PNG, SVG or
// PDF.
#include "plot.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "chart.h"
#include "platform.h"

namespace {
constexpr double kValueMargin = 0.05;  // of the value span, above and below the samples
constexpr int kStrokeChunk = 2048;     // path points stroked at a time, so the path stays small

struct Colour {
    double r, g, b;
};
constexpr Colour kBackground = {1.0, 1.0, 1.0};
constexpr Colour kInk = {0.0, 0.0, 0.0};  // axes, ticks, text
constexpr Colour kGrid = {0.86, 0.86, 0.86};
constexpr Colour kData = {0.0, 0.36, 0.75};  // a blue that stands out from black and grey
constexpr Colour kNoData = {0.45, 0.45, 0.45};
const char* const kFontFace = "DejaVu Sans";

// The pixel at which value v lies on an axis showing `range` from pixel `from` to pixel `to`.
// Long double, so that the span of any two doubles stays finite.
double ToPixel(double v, Range range, double from, double to) {
    long double share =
        (static_cast<long double>(v) - range.lo) / (static_cast<long double>(range.hi) - range.lo);
    return static_cast<double>(from + share * (static_cast<long double>(to) - from));
}

long double PowerOfTen(int exponent) {
    return std::pow(10.0L, static_cast<long double>(exponent));
}

std::string LowercaseAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The digits of |k|, at least `width` of them (zeros in front).
std::string Digits(long long k, std::size_t width) {
    std::string digits = std::to_string(k < 0 ? -static_cast<unsigned long long>(k)
                                              : static_cast<unsigned long long>(k));
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

// The power of ten of the leading digit of k * 10^exponent (k not 0).
int Magnitude(long long k, int exponent) {
    return static_cast<int>(Digits(k, 0).size()) - 1 + exponent;
}

// k * 10^exponent as a plain number with -exponent decimals (none for exponent >= 0).
std::string PlainText(long long k, int exponent) {
    std::string digits = Digits(k, exponent < 0 ? static_cast<std::size_t>(1 - exponent) : 0);
    if (exponent >= 0)
        digits.append(static_cast<std::size_t>(exponent), '0');
    else
        digits.insert(digits.size() - static_cast<std::size_t>(-exponent), ".");
    return (k < 0 ? "-" : "") + digits;
}

// The digits of |k| after its leading one, trailing zeros left out: the mantissa's decimals.
std::string MantissaDecimals(long long k) {
    std::string decimals = Digits(k, 0).substr(1);
    decimals.erase(decimals.find_last_not_of('0') + 1);
    return decimals;
}

// k * 10^exponent as a mantissa with `decimals` decimals and a power of ten ("-1.50e+15").
std::string ExponentText(long long k, int exponent, std::size_t decimals) {
    std::string mantissa = Digits(k, 0).substr(0, 1), fraction = MantissaDecimals(k);
    fraction.append(decimals - fraction.size(), '0');
    if (decimals > 0) mantissa += "." + fraction;
    char power[16];
    std::snprintf(power, sizeof power, "e%+03d", Magnitude(k, exponent));
    return (k < 0 ? "-" : "") + mantissa + power;
}
}  // namespace

bool ParsePlotFormat(const std::string& path, PlotFormat& format, std::string& error) {
    std::string::size_type dot = path.rfind('.');
    std::string extension = dot == std::string::npos || path.find('/', dot) != std::string::npos
                                ? ""
                                : LowercaseAscii(path.substr(dot + 1));
    if (extension == "png" || extension == "svg" || extension == "pdf") {
        format = extension == "png"   ? PlotFormat::kPng
                 : extension == "svg" ? PlotFormat::kSvg
                                      : PlotFormat::kPdf;
        return true;
    }
    error = "plovo: cannot write a plot as '" + Printable(path) +
            "': the name must end in .png, .svg or .pdf";
    return false;
}

bool ParsePlotSize(const std::string& text, PlotSize& size, std::string& error) {
    int sides[2] = {0, 0};
    std::size_t at = 0;
    for (int side = 0; side < 2; ++side) {
        std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            sides[side] = std::min(sides[side] * 10 + (text[at++] - '0'), kMaxPlotSide + 1);
        bool separated = side == 1 || (at < text.size() && (text[at] == 'x' || text[at] == 'X'));
        if (at == start || !separated) break;
        at += side == 0 ? 1 : 0;
    }
    bool fits = std::all_of(std::begin(sides), std::end(sides),
                            [](int side) { return side >= kMinPlotSide && side <= kMaxPlotSide; });
    if (at != text.size() || !fits) {
        error = "plovo: --plot-size takes WIDTHxHEIGHT, each 100 to 10000 pixels, not '" +
                Printable(text) + "'";
        return false;
    }
    size = {sides[0], sides[1]};
    return true;
}

std::string PlotLabel(int chartType) {
    bool named = chartType >= 1 && chartType <= kChartTypes;
    return named ? ChartLabel(chartType) : "Column " + std::to_string(chartType);
}

std::string PlotTitle(int chartType, const std::string& logPath) {
    return PlotLabel(chartType) + " - " + Printable(FileName(logPath));
}

Range FitRange(double lo, double hi, double margin) {
    long double low = lo, high = hi;
    long double magnitude = std::max(std::fabs(low), std::fabs(high));
    // Below this span, a few hundred units in the last place, ticks apart far enough for their
    // labels would need more digits than a double holds.
    long double smallest = std::max(magnitude * 1e-13L, 1e-290L);
    if (high - low < smallest) {
        long double middle = (low + high) / 2;
        long double half = middle == 0 ? 1.0L : std::max(std::fabs(middle) * 0.1L, smallest);
        low = middle - half;
        high = middle + half;
    } else {
        long double pad = (high - low) * margin;
        low -= pad;
        high += pad;
    }
    return {static_cast<double>(std::max(low, static_cast<long double>(-DBL_MAX))),
            static_cast<double>(std::min(high, static_cast<long double>(DBL_MAX)))};
}

StretchRanges FindRanges(const Stretch& stretch) {
    StretchRanges found;
    double times[2] = {INFINITY, -INFINITY}, values[2] = {INFINITY, -INFINITY};
    stretch([&](double time, double value) {
        if (!std::isfinite(time) || !std::isfinite(value)) return;
        times[0] = std::min(times[0], time);
        times[1] = std::max(times[1], time);
        values[0] = std::min(values[0], value);
        values[1] = std::max(values[1], value);
    });
    if (times[0] > times[1]) return found;
    found.empty = false;
    found.time = FitRange(times[0], times[1], 0.0);
    found.value = FitRange(values[0], values[1], kValueMargin);
    return found;
}

std::vector<std::string> TickTexts(const std::vector<long long>& ks, int exponent) {
    bool plain = exponent >= -10;
    std::size_t decimals = 0;
    for (long long k : ks) {
        if (k == 0) continue;
        plain = plain && Magnitude(k, exponent) < 15;
        decimals = std::max(decimals, MantissaDecimals(k).size());
    }
    std::vector<std::string> texts;
    for (long long k : ks)
        texts.push_back(k == 0  ? "0"
                        : plain ? PlainText(k, exponent)
                                : ExponentText(k, exponent, decimals));
    return texts;
}

bool LabelFits(const LabelRoom& room, double position, double extent, double prevEnd) {
    double start = position - extent / 2, end = position + extent / 2;
    return start >= room.edgeLo && end <= room.edgeHi && start >= prevEnd + room.gap;
}

std::vector<Tick> ChooseTicks(Range range, double from, double to, const LabelRoom& room) {
    long double span = static_cast<long double>(range.hi) - range.lo;
    long double pixels = std::fabs(to - from);
    std::vector<Tick> single;
    if (!(span > 0) || !(pixels >= 1)) return single;
    const bool descending = to < from;  // positions fall as values rise
    // From about one tick per pixel up to a step that leaves at most one tick.
    int exponent = static_cast<int>(std::floor(std::log10(span / pixels)));
    for (; PowerOfTen(exponent) <= span * 10; ++exponent) {
        for (int multiple : {1, 2, 5}) {
            long double step = multiple * PowerOfTen(exponent);
            // A tick within a billionth of a step of an end counts as on it.
            long double first = std::ceil(range.lo / step - 1e-9L);
            long double last = std::floor(range.hi / step + 1e-9L);
            if (last - first >= pixels || std::fabs(first) > 1e15L || std::fabs(last) > 1e15L)
                continue;  // finer than a pixel, or beyond exact integers
            std::vector<long long> ks;
            for (long double j = first; j <= last; ++j)
                ks.push_back(static_cast<long long>(j) * multiple);
            if (descending) std::reverse(ks.begin(), ks.end());
            std::vector<std::string> texts = TickTexts(ks, exponent);  // one form for the axis
            std::vector<Tick> ticks;
            double prevEnd = -INFINITY;
            bool fit = true;
            for (std::size_t i = 0; fit && i < ks.size(); ++i) {
                double value = static_cast<double>(ks[i] * PowerOfTen(exponent));
                Tick tick = {value, ToPixel(value, range, from, to), texts[i]};
                double extent = room.extent(tick.text);
                if (!LabelFits(room, tick.position, extent, -INFINITY)) continue;  // at an edge
                fit = LabelFits(room, tick.position, extent, prevEnd);
                prevEnd = tick.position + extent / 2;
                ticks.push_back(std::move(tick));
            }
            if (!fit) continue;
            if (ticks.size() >= 2) return ticks;
            if (ticks.size() == 1 && single.empty()) single = ticks;
        }
    }
    return single;
}

Decimator::Decimator(int rows, Pen pen)
    : pen(std::move(pen)),
      dots(static_cast<std::size_t>(std::max(rows, 1))),
      dotLo(INT_MAX),
      dotHi(-1) {}

void Decimator::Add(double x, double y) {
    long long c = static_cast<long long>(std::floor(std::clamp(x, -1e15, 1e15)));
    Point point = {x, y};
    if (pending && c == column) {
        last = point;
        if (y < low.y) low = point, lowAt = count;
        if (y > high.y) high = point, highAt = count;
        ++count;
        return;
    }
    if (pending) DrawPiece();  // the line goes on into another column
    joinedIn = pending;
    pending = true;
    column = c;
    first = low = high = last = point;
    lowAt = highAt = 0;
    count = 1;
}

void Decimator::Break() {
    if (!pending) return;
    if (joinedIn)
        DrawPiece();
    else
        MarkDots();
    pending = false;
}

void Decimator::Finish() {
    Break();
    DrawDots();
}

void Decimator::DrawPiece() {
    pen(first.x, first.y, !joinedIn);
    Point a = low, b = high;
    long long aAt = lowAt, bAt = highAt;
    if (bAt < aAt) std::swap(a, b), std::swap(aAt, bAt);
    if (aAt > 0 && aAt < count - 1) pen(a.x, a.y, false);
    if (bAt > aAt && bAt < count - 1) pen(b.x, b.y, false);
    if (count > 1) pen(last.x, last.y, false);
}

void Decimator::MarkDots() {
    if (column != dotColumn) DrawDots();
    dotColumn = column;
    int rows = static_cast<int>(dots.size());
    auto row = [rows](double y) {
        return static_cast<int>(std::clamp(std::floor(y), 0.0, rows - 1.0));
    };
    int from = row(low.y), to = row(high.y);
    std::fill(dots.begin() + from, dots.begin() + to + 1, 1);
    dotLo = std::min(dotLo, from);
    dotHi = std::max(dotHi, to);
}

void Decimator::DrawDots() {
    double x = static_cast<double>(dotColumn) + 0.5;
    for (int row = dotLo; row <= dotHi; ++row) {
        if (!dots[row]) continue;
        int end = row;
        while (end + 1 <= dotHi && dots[end + 1]) ++end;
        pen(x, row + 0.5, true);
        pen(x, end + 0.5, false);  // a single row draws as a round dot
        std::fill(dots.begin() + row, dots.begin() + end + 1, 0);
        row = end;
    }
    dotLo = INT_MAX;
    dotHi = -1;
}

PlotStyle StyleFor(PlotSize size) {
    double scale = std::max(0.5, std::min(size.width / 800.0, size.height / 500.0));
    return {12 * scale, 14 * scale, 2 * scale, std::max(1.0, std::round(scale)),
            5 * scale,  5 * scale};
}

PlotLayout LayoutPlot(PlotSize size, const PlotStyle& style, double textHeight, double yTickWidth) {
    const double descent = 0.25 * style.font;  // below the baseline, for brackets and commas
    PlotLayout layout;
    layout.titleBaseline = 1.5 * style.pad + textHeight * style.titleFont / style.font;
    layout.top = layout.titleBaseline + descent + 2 * style.pad;
    layout.xLabelBaseline = size.height - style.pad - descent;
    layout.xTickTop = layout.xLabelBaseline - textHeight - 1.5 * style.pad - textHeight;
    layout.bottom = layout.xTickTop - style.pad - style.tick;
    layout.yLabelX = style.pad + textHeight + descent;
    layout.yTickRight = layout.yLabelX + 1.5 * style.pad + yTickWidth;
    layout.left = layout.yTickRight + style.pad + style.tick;
    layout.right = size.width - 2 * style.font;
    // A picture too small for its labels still gets a plot area of a pixel.
    layout.left = std::min(layout.left, layout.right - 1);
    layout.top = std::min(layout.top, layout.bottom - 1);
    return layout;
}

namespace {
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

// A line `width` pixels wide at `position` falls on whole pixels, so that it stays sharp.
double Crisp(double position, double width) {
    return std::round(position - width / 2) + width / 2;
}

// What the drawing needs to know before it draws.
struct Frame {
    PlotStyle style;
    PlotLayout layout;
    StretchRanges ranges;
    std::vector<Tick> xTicks, yTicks;
    double textHeight;
};

Frame PlanFrame(cairo_t* cr, PlotSize size, const StretchRanges& ranges) {
    Frame frame;
    frame.style = StyleFor(size);
    frame.ranges = ranges;
    SetFont(cr, frame.style.font);
    cairo_text_extents_t digits;
    cairo_text_extents(cr, "0123456789", &digits);
    frame.textHeight = digits.height;
    // The plot's height does not depend on the y labels' width: choose the y ticks first.
    PlotLayout rows = LayoutPlot(size, frame.style, frame.textHeight, 0);
    double height = frame.textHeight;
    LabelRoom yRoom = {rows.top - frame.style.pad, rows.xTickTop, 2.5 * frame.style.font,
                       [height](const std::string&) { return height; }};
    frame.yTicks = ChooseTicks(ranges.value, rows.bottom, rows.top, yRoom);
    double yTickWidth = 0;
    for (const Tick& tick : frame.yTicks)
        yTickWidth = std::max(yTickWidth, TextWidth(cr, tick.text));
    frame.layout = LayoutPlot(size, frame.style, frame.textHeight, yTickWidth);
    LabelRoom xRoom = {0, static_cast<double>(size.width), 4 * frame.style.font,
                       [cr](const std::string& text) { return TextWidth(cr, text); }};
    frame.xTicks = ChooseTicks(ranges.time, frame.layout.left, frame.layout.right, xRoom);
    return frame;
}

void DrawGrid(cairo_t* cr, const Frame& frame) {
    const PlotLayout& l = frame.layout;
    double width = frame.style.thin;
    cairo_set_line_width(cr, width);
    SetColour(cr, kGrid);
    for (const Tick& tick : frame.xTicks) {
        cairo_move_to(cr, Crisp(tick.position, width), l.top);
        cairo_line_to(cr, Crisp(tick.position, width), l.bottom);
    }
    for (const Tick& tick : frame.yTicks) {
        cairo_move_to(cr, l.left, Crisp(tick.position, width));
        cairo_line_to(cr, l.right, Crisp(tick.position, width));
    }
    cairo_stroke(cr);
}

// Puts the decimator's lines into cairo's path, from the plot area's corner, stroking every
// kStrokeChunk points so that the path stays small whatever the stretch.
struct PathPen {
    cairo_t* cr;
    double left, top;
    int points = 0;
    double x = 0, y = 0;  // the path's last point

    void operator()(double px, double py, bool move) {
        if (++points >= kStrokeChunk) {
            cairo_stroke(cr);
            if (!move) cairo_move_to(cr, x, y);
            points = 0;
        }
        x = left + px;
        y = top + py;
        (move ? cairo_move_to : cairo_line_to)(cr, x, y);
    }
};

// The data line, clipped to the plot area.
void DrawData(cairo_t* cr, const Stretch& stretch, const Frame& frame) {
    const PlotLayout& l = frame.layout;
    cairo_save(cr);
    cairo_rectangle(cr, l.left, l.top, l.right - l.left, l.bottom - l.top);
    cairo_clip(cr);
    SetColour(cr, kData);
    cairo_set_line_width(cr, frame.style.line);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    Decimator decimator(static_cast<int>(std::ceil(l.bottom - l.top)), PathPen{cr, l.left, l.top});
    const Range time = frame.ranges.time, value = frame.ranges.value;
    const double width = l.right - l.left, height = l.bottom - l.top;
    double lastTime = -INFINITY;
    stretch([&](double t, double v) {
        bool drawable = std::isfinite(t) && std::isfinite(v);
        if (!drawable || t < lastTime) decimator.Break();
        if (std::isfinite(t)) lastTime = t;
        if (drawable) decimator.Add(ToPixel(t, time, 0, width), ToPixel(v, value, height, 0));
    });
    decimator.Finish();
    cairo_stroke(cr);
    cairo_restore(cr);
}

void DrawAxes(cairo_t* cr, const Frame& frame) {
    const PlotLayout& l = frame.layout;
    const PlotStyle& s = frame.style;
    SetColour(cr, kInk);
    cairo_set_line_width(cr, s.thin);
    double left = Crisp(l.left, s.thin), right = Crisp(l.right, s.thin);
    double top = Crisp(l.top, s.thin), bottom = Crisp(l.bottom, s.thin);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    for (const Tick& tick : frame.xTicks) {
        cairo_move_to(cr, Crisp(tick.position, s.thin), bottom);
        cairo_line_to(cr, Crisp(tick.position, s.thin), bottom + s.tick);
    }
    for (const Tick& tick : frame.yTicks) {
        cairo_move_to(cr, left, Crisp(tick.position, s.thin));
        cairo_line_to(cr, left - s.tick, Crisp(tick.position, s.thin));
    }
    cairo_stroke(cr);
    SetFont(cr, s.font);
    for (const Tick& tick : frame.xTicks)
        ShowText(cr, tick.text, tick.position, l.xTickTop + frame.textHeight, 0.5);
    for (const Tick& tick : frame.yTicks)
        ShowText(cr, tick.text, l.yTickRight, tick.position + frame.textHeight / 2, 1.0);
}

void DrawLabels(cairo_t* cr, const Frame& frame, const Plot& plot, PlotSize size) {
    const PlotLayout& l = frame.layout;
    const PlotStyle& s = frame.style;
    SetColour(cr, kInk);
    SetFont(cr, s.font);
    ShowText(cr, plot.xLabel, (l.left + l.right) / 2, l.xLabelBaseline, 0.5);
    cairo_save(cr);
    cairo_translate(cr, l.yLabelX, (l.top + l.bottom) / 2);
    cairo_rotate(cr, -M_PI / 2);
    ShowText(cr, plot.yLabel, 0, 0, 0.5);
    cairo_restore(cr);
    // A title wider than the picture is set smaller until it fits.
    SetFont(cr, s.titleFont, true);
    double room = size.width - 2 * s.pad, width = TextWidth(cr, plot.title);
    if (width > room) SetFont(cr, s.titleFont * room / width, true);
    ShowText(cr, plot.title, size.width / 2.0, l.titleBaseline, 0.5);
    if (frame.ranges.empty) {
        SetColour(cr, kNoData);
        SetFont(cr, 1.5 * s.font);
        ShowText(cr, "no data", (l.left + l.right) / 2,
                 (l.top + l.bottom) / 2 + 0.75 * frame.textHeight, 0.5);
    }
}

void Draw(cairo_t* cr, const Stretch& stretch, const Plot& plot) {
    StretchRanges ranges = FindRanges(stretch);
    SetColour(cr, kBackground);
    cairo_paint(cr);
    Frame frame = PlanFrame(cr, plot.size, ranges);
    DrawGrid(cr, frame);
    if (!ranges.empty) DrawData(cr, stretch, frame);
    DrawAxes(cr, frame);
    DrawLabels(cr, frame, plot, plot.size);
}

// The file being written; the first failure's errno is kept for the message.
struct Sink {
    std::FILE* file;
    int error = 0;
};

cairo_status_t WriteToSink(void* closure, const unsigned char* data, unsigned int length) {
    Sink* sink = static_cast<Sink*>(closure);
    if (sink->error == 0 && std::fwrite(data, 1, length, sink->file) != length)
        sink->error = errno != 0 ? errno : EIO;
    return sink->error == 0 ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

cairo_surface_t* CreateSurface(PlotFormat format, const Plot& plot, Sink& sink) {
    double width = plot.size.width, height = plot.size.height;
    switch (format) {
        case PlotFormat::kSvg: {
            cairo_surface_t* svg =
                cairo_svg_surface_create_for_stream(WriteToSink, &sink, width, height);
            cairo_svg_surface_set_document_unit(svg, CAIRO_SVG_UNIT_PX);
            return svg;
        }
        case PlotFormat::kPdf: {
            cairo_surface_t* pdf =
                cairo_pdf_surface_create_for_stream(WriteToSink, &sink, width, height);
            cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE, plot.title.c_str());
            cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATOR, "plovo");
            return pdf;
        }
        case PlotFormat::kPng:
            break;
    }
    return cairo_image_surface_create(CAIRO_FORMAT_RGB24, plot.size.width, plot.size.height);
}
}  // namespace

bool WritePlot(const Stretch& stretch, const Plot& given, PlotFormat format,
               const std::string& path, std::string& error) {
    Plot plot = given;  // cairo refuses text that is not UTF-8, a file name's included
    for (std::string* text : {&plot.title, &plot.xLabel, &plot.yLabel})
        *text = PrintableUtf8(*text);
    Sink sink = {std::fopen(path.c_str(), "wbe")};
    if (sink.file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    cairo_surface_t* surface = CreateSurface(format, plot, sink);
    cairo_t* cr = cairo_create(surface);
    Draw(cr, stretch, plot);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS && format == PlotFormat::kPng)
        status = cairo_surface_write_to_png_stream(surface, WriteToSink, &sink);
    cairo_surface_finish(surface);  // vector formats write here
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    errno = 0;
    if (std::fclose(sink.file) != 0 && sink.error == 0) sink.error = errno != 0 ? errno : EIO;
    if (sink.error != 0)
        error = std::strerror(sink.error);
    else if (status != CAIRO_STATUS_SUCCESS)
        error = cairo_status_to_string(status);
    return sink.error == 0 && status == CAIRO_STATUS_SUCCESS;
}

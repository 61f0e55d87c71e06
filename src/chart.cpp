// The viewer's frame: the vertical scale, the canvases, the zero line, the dots, the cursor line
// and the status bar.
#include "chart.h"

#include <cmath>
#include <sstream>

#include "globals.h"
#include "kolejka.h"
#include "records.h"

namespace {
// Rows from the zero line to a sample of the extreme's magnitude.
int HalfHeight() {
    return (iscrHeight - kStatusBarHeight) / 2;
}

// Full-intensity primaries in the current pixel format; computed at draw time because the
// format belongs to the graphics mode.
int Red() {
    return makecol(255, 0, 0);
}
int Blue() {
    return makecol(0, 0, 255);
}
int Yellow() {
    return makecol(255, 255, 0);
}

BITMAP* Cleared(BITMAP* bitmap) {
    if (bitmap != nullptr) clear_bitmap(bitmap);
    return bitmap;
}

// One green dot per column, column i for the window's sample i, read from the front.
void PlotWindow(kolejka& window, BITMAP* chart) {
    int green = Green();
    window.reset_iter();
    for (int x = 0; x < iscrWidth; ++x) {
        std::optional<int> row = SampleRow(window.k_get(), chart->h);
        if (row) putpixel(chart, x, *row, green);
    }
}
}  // namespace

void SetScale(double extreme) {
    ZeroLine = (iscrHeight - 20) / 2;
    multiplier = extreme == 0.0 ? 1.0 : HalfHeight() / std::fabs(extreme);
    scaleExtreme = extreme;
}

double ScaledSample(double sample) {
    if (std::isfinite(multiplier)) return sample * multiplier;
    // A subnormal extreme: half-height / |extreme| overflows, so scale the sample first.
    return sample / std::fabs(scaleExtreme) * HalfHeight();
}

bool CreateCanvases(Canvases& canvases) {
    // Cleared, so that pixels nothing draws show the background colour.
    canvases.frame = Cleared(create_bitmap(iscrWidth, iscrHeight));
    canvases.chart = Cleared(create_bitmap(iscrWidth, iscrHeight - kStatusBarHeight));
    canvases.statusBar = Cleared(create_bitmap(iscrWidth, kStatusBarHeight));
    canvases.strip = Cleared(create_bitmap(iscrWidth, kStripHeight));
    if (!canvases.frame || !canvases.chart || !canvases.statusBar || !canvases.strip) return false;
    DrawZeroLineStrip(canvases.strip);
    return true;
}

void DestroyCanvases(Canvases& canvases) {
    for (BITMAP** bitmap :
         {&canvases.frame, &canvases.chart, &canvases.statusBar, &canvases.strip}) {
        if (*bitmap != nullptr) destroy_bitmap(*bitmap);
        *bitmap = nullptr;
    }
}

int Green() {
    return makecol(0, 255, 0);
}

void PlaceStrip(BITMAP* chart, BITMAP* strip) {
    blit(strip, chart, 0, 0, 0, ZeroLine - 1, strip->w, strip->h);
}

void DrawZeroLineStrip(BITMAP* strip) {
    int red = Red();
    hline(strip, 0, 1, iscrWidth, red);
    for (int x = 0; x < iscrWidth; x += kTickSpacing) {
        putpixel(strip, x, 0, red);
        putpixel(strip, x, 2, red);
    }
}

std::optional<int> SampleRow(double sample, int chartHeight) {
    double row = ZeroLine - ScaledSample(sample);
    if (!std::isfinite(row) || row <= -2147483649.0 || row >= 2147483648.0) return std::nullopt;
    // The extreme's negative magnitude lands one row below the chart: keep it on the last row.
    int truncated = static_cast<int>(row);
    if (truncated < 0) return 0;
    if (truncated > chartHeight - 1) return chartHeight - 1;
    return truncated;
}

void ChartInit(kolejka& window, BITMAP* frame, BITMAP* chart, BITMAP* strip) {
    PlaceStrip(chart, strip);
    PlotWindow(window, chart);
    blit(chart, frame, 0, 0, 0, 0, chart->w, chart->h);
}

void DrawChart(kolejka& window, BITMAP* chart, BITMAP* strip, int direction, int count) {
    PlaceStrip(chart, strip);
    if (direction != 0 && direction != 1) return;
    AddToQueue(window, count, direction);
    PlotWindow(window, chart);
}

void DrawCursorLine(BITMAP* frame, int column) {
    vline(frame, column, 0, frame->h, Yellow());
}

std::string StatusText() {
    std::ostringstream text;
    text << "(" << isFp << " : " << ieFp << ")     " << cType << "      Value: " << value;
    return text.str();
}

void DrawStatBar(BITMAP* statusBar, BITMAP* frame) {
    DrawStatusText(statusBar, frame, StatusText());
}

void DrawStatusText(BITMAP* statusBar, BITMAP* frame, const std::string& text) {
    clear_bitmap(statusBar);
    textout_ex(statusBar, font, text.c_str(), 10, 6, Blue(), 0);
    blit(statusBar, frame, 0, 0, 0, frame->h - 20, statusBar->w, statusBar->h);
}

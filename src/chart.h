// The viewer's frame: the vertical scale, the canvases, the zero line, the dots, the cursor line
// and the status bar.
#pragma once

#include <allegro.h>

#include <optional>
#include <string>

class kolejka;

constexpr int kStatusBarHeight = 21;  // pixels, below the chart
constexpr int kStripHeight = 3;       // pixels: the zero line with a tick row above and below
constexpr int kTickSpacing = 10;      // pixels between ticks on the zero line

// Sets ZeroLine and multiplier from iscrHeight and the extreme of the extracted column, so that
// a sample of the extreme's magnitude lies half-height rows from the zero line, positive values
// above it. A zero extreme (no data, or all zeros) gives a multiplier of 1.0.
void SetScale(double extreme);

// Rows above the zero line for a sample: sample * multiplier, or, where the multiplier is not
// finite (a subnormal extreme), (sample / |extreme|) * half-height.
double ScaledSample(double sample);

// The off-screen bitmaps, all 16 bits per pixel, made once and kept until shutdown.
struct Canvases {
    BITMAP* frame = nullptr;      // iscrWidth x iscrHeight: each frame is composed here
    BITMAP* chart = nullptr;      // iscrWidth x (iscrHeight - 21): zero line and dots
    BITMAP* statusBar = nullptr;  // iscrWidth x 21
    BITMAP* strip = nullptr;      // iscrWidth x 3: the zero line, drawn once
};

// Creates the canvases (frame, chart, status bar, strip, in that order) at the current colour
// depth, cleared, and draws the strip. False when any could not be created.
bool CreateCanvases(Canvases& canvases);
void DestroyCanvases(Canvases& canvases);

void DrawZeroLineStrip(BITMAP* strip);
// Lays the strip on the chart bitmap, its middle row on the zero line.
void PlaceStrip(BITMAP* chart, BITMAP* strip);

// The chart bitmap row of a sample: ZeroLine - ScaledSample(sample), truncated toward zero and
// kept within the chart's rows (0 .. chartHeight - 1); none when not finite or beyond int.
std::optional<int> SampleRow(double sample, int chartHeight);

// The first plot: the strip and the window's dots on the chart bitmap, copied to the frame.
void ChartInit(kolejka& window, BITMAP* frame, BITMAP* chart, BITMAP* strip);

// Lays the strip, slides the window by up to count records (direction 1 forward, 0 backward;
// anything else draws no dots) and plots it. The caller clears the chart bitmap first.
void DrawChart(kolejka& window, BITMAP* chart, BITMAP* strip, int direction, int count);

// The yellow cursor line through the whole frame at screen column `column`.
void DrawCursorLine(BITMAP* frame, int column);

// "(isFp : ieFp)     cType      Value: value", numbers as an output stream formats them.
std::string StatusText();

// Renders the status text into the status bar and copies the bar to the bottom of the frame.
void DrawStatBar(BITMAP* statusBar, BITMAP* frame);
// The same for another text in the status bar's place.
void DrawStatusText(BITMAP* statusBar, BITMAP* frame, const std::string& text);

// Full-intensity primaries in the current pixel format, as the chart uses them.
int Green();

// Axis scales: data ranges fitted for an axis, and ticks at 1, 2 or 5 times a power of ten
// whose labels never collide.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A data range; lo < hi once fitted.
struct Range {
    double lo = 0.0;
    double hi = 1.0;
};

// The range an axis shows for samples from lo to hi: `margin` of their span added on each side;
// a span too small to label in a double's digits (below 1e-13 of the values, a few hundred units
// in the last place, or none) widened around its middle. Stays within the finite doubles.
Range FitRange(double lo, double hi, double margin);

// The pixel at which value v lies on an axis showing `range` from pixel `from` to pixel `to`.
// Long double, so that the span of any two doubles stays finite.
double ToPixel(double v, Range range, double from, double to);

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

// Axis scales: data ranges fitted for an axis, and ticks at 1, 2 or 5 times a power of ten
// whose labels never collide.
#include "plotscale.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

double ToPixel(double v, Range range, double from, double to) {
    long double share =
        (static_cast<long double>(v) - range.lo) / (static_cast<long double>(range.hi) - range.lo);
    return static_cast<double>(from + share * (static_cast<long double>(to) - from));
}

namespace {
long double PowerOfTen(int exponent) {
    return std::pow(10.0L, static_cast<long double>(exponent));
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

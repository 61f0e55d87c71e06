// Differences of times and distances written to the resolution of the numbers they come from.
#include "resolution.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int Decimals(double number) {
    if (!std::isfinite(number)) return 0;
    char text[32];
    char* last = std::to_chars(text, text + sizeof text - 1, number).ptr;
    *last = '\0';  // for atoi
    const char* end = last;
    const char* e = std::find(static_cast<const char*>(text), end, 'e');
    const char* point = std::find(static_cast<const char*>(text), e, '.');
    int fraction = point == e ? 0 : static_cast<int>(e - point - 1);
    int exponent = e == end ? 0 : std::atoi(e + 1);  // to_chars writes e+XX or e-XX
    return std::max(0, fraction - exponent);
}

double RoundedDifference(double b, double a) {
    double difference = b - a;
    if (!std::isfinite(difference)) return difference;
    int decimals = std::max(Decimals(a), Decimals(b));
    // A whole number of units of the last decimal, divided by an exact power of ten, is the
    // double nearest the rounded decimal. Far from a half unit, the scaled difference rounds to
    // that whole number as the exact one would; near one, or beyond the digits of a double, the
    // text printf writes decides.
    static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (decimals < static_cast<int>(sizeof kPowers / sizeof kPowers[0])) {
        double scaled = difference * kPowers[decimals];
        double units = std::nearbyint(scaled);
        if (std::fabs(scaled) < 0x1p40 && std::fabs(std::fabs(scaled - units) - 0.5) > 1e-3)
            return (units + 0.0) / kPowers[decimals];  // + 0.0: no "-0" for a difference of 0
    }
    char text[720];  // 309 digits before the point at most, and 340 decimals reach any double
    std::snprintf(text, sizeof text, "%.*f", std::min(decimals, 340), difference);
    return std::strtod(text, nullptr) + 0.0;
}

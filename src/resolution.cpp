// Differences of times and distances written to the resolution of the numbers they come from.
#include "resolution.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
// A finite number as its shortest text writes it: (negative) digits x 10^exponent.
struct WrittenDecimal {
    bool negative = false;
    std::string digits;  // no leading zero; empty for 0
    int exponent = 0;
};

WrittenDecimal Written(double number) {
    char text[32];
    char* end = std::to_chars(text, text + sizeof text - 1, number).ptr;
    *end = '\0';  // for atoi
    WrittenDecimal d;
    int fraction = 0;
    bool point = false;
    const char* p = text;
    if (*p == '-') d.negative = true, ++p;
    for (; p < end && *p != 'e'; ++p) {
        if (*p == '.') {
            point = true;
        } else {
            if (!d.digits.empty() || *p != '0') d.digits += *p;
            fraction += point;
        }
    }
    d.exponent = (p < end ? std::atoi(p + 1) : 0) - fraction;
    return d;
}

// Whether digits a, of the same length as b or shorter, make a smaller number.
bool Smaller(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// The sum and the difference (larger less smaller) of two whole numbers as decimal digits.
std::string Sum(const std::string& a, const std::string& b) {
    std::string sum;
    int carry = 0;
    for (std::size_t i = 0; i < std::max(a.size(), b.size()) || carry; ++i) {
        int digit = carry + (i < a.size() ? a[a.size() - 1 - i] - '0' : 0) +
                    (i < b.size() ? b[b.size() - 1 - i] - '0' : 0);
        sum += static_cast<char>('0' + digit % 10);
        carry = digit / 10;
    }
    std::reverse(sum.begin(), sum.end());
    return sum;
}

std::string Less(const std::string& larger, const std::string& smaller) {
    std::string difference;
    int borrow = 0;
    for (std::size_t i = 0; i < larger.size(); ++i) {
        int digit = larger[larger.size() - 1 - i] - '0' - borrow -
                    (i < smaller.size() ? smaller[smaller.size() - 1 - i] - '0' : 0);
        borrow = digit < 0;
        difference += static_cast<char>('0' + digit + 10 * borrow);
    }
    while (difference.size() > 1 && difference.back() == '0') difference.pop_back();
    std::reverse(difference.begin(), difference.end());
    return difference;
}
}  // namespace

int Decimals(double number) {
    if (!std::isfinite(number)) return 0;
    return std::max(0, -Written(number).exponent);
}

double RoundedDifference(double b, double a) {
    double difference = b - a;
    if (!std::isfinite(difference)) return difference;
    // The numbers as written are whole numbers of units of the finer one's last decimal: their
    // difference in those units is exact, and so is the one rounding to the nearest double.
    WrittenDecimal x = Written(b), y = Written(a);
    const int unit = std::min(x.digits.empty() ? y.exponent : x.exponent,
                              y.digits.empty() ? x.exponent : y.exponent);
    if (!x.digits.empty()) x.digits.append(static_cast<std::size_t>(x.exponent - unit), '0');
    if (!y.digits.empty()) y.digits.append(static_cast<std::size_t>(y.exponent - unit), '0');
    static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (x.digits.size() <= 18 && y.digits.size() <= 18 && unit >= -22 && unit <= 22) {
        // Below 10^18 each: their difference fits; below 2^53 units it and the power are exact.
        std::int64_t units = (x.negative ? -1 : 1) * std::atoll(x.digits.c_str()) -
                             (y.negative ? -1 : 1) * std::atoll(y.digits.c_str());
        if (std::llabs(units) < (std::int64_t{1} << 53)) {
            double whole = static_cast<double>(units);
            return (unit < 0 ? whole / kPowers[-unit] : whole * kPowers[unit]) + 0.0;
        }
    }
    // b - a = x - y: a sum of magnitudes when the signs differ, else a difference of them.
    bool negative;
    std::string units;
    if (x.negative != y.negative) {
        negative = x.negative;
        units = Sum(x.digits, y.digits);
    } else if (Smaller(x.digits, y.digits)) {
        negative = !x.negative;
        units = Less(y.digits, x.digits);
    } else {
        negative = x.negative;
        units = Less(x.digits, y.digits);
    }
    std::string text =
        (negative ? "-" : "") + (units.empty() ? "0" : units) + "e" + std::to_string(unit);
    return std::strtod(text.c_str(), nullptr) + 0.0;
}

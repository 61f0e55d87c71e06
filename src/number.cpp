// The number reader: fields parsed exactly as atof parses them, and numbers written back as the
// shortest text that reads back exactly.
#include "number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {
bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The rare forms from_chars does not take as atof does (hexadecimal, out of range).
double ParseWithStrtod(const char* text, std::size_t length) {
    char copy[64];
    length = std::min(length, sizeof copy - 1);
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return std::strtod(copy, nullptr);
}

// Fields are right-aligned: their padding is skipped eight spaces at a time.
const char* SkipPadding(const char* p, const char* end) {
    const std::uint64_t kSpaces = 0x2020202020202020;
    for (std::uint64_t word; end - p >= 8; p += 8) {
        std::memcpy(&word, p, sizeof word);
        if (word != kSpaces) break;
    }
    return p;
}

// Reads the digits at p as a whole number into *digits, going on from its value; returns the
// first byte that is no digit. Past 19 digits the number wraps, which the caller refuses.
const char* TakeDigits(const char* p, const char* end, std::uint64_t* digits) {
    for (; p < end && static_cast<unsigned char>(*p - '0') < 10; ++p)
        *digits = *digits * 10 + static_cast<unsigned>(*p - '0');
    return p;
}

// Decimals without an exponent and with at most 15 significant digits (19 digits in all) and 22
// decimals, the simulator's usual fields, read without from_chars: the digits as a whole number
// and one division by an exact power of ten give the correctly rounded double, as strtod does.
// None for anything else (signs twice, exponents, hexadecimal, inf, nan, more digits), for the
// full path.
std::optional<double> ParseSimpleDecimal(const char* p, const char* end) {
    static const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    p = SkipPadding(p, end);
    while (p < end && IsCSpace(*p)) ++p;
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-')) ++p;
    std::uint64_t digits = 0;
    const char* point = TakeDigits(p, end, &digits);
    const char* last = point;
    if (point < end && *point == '.') last = TakeDigits(point + 1, end, &digits);
    std::ptrdiff_t decimals = last == point ? 0 : last - point - 1;
    std::ptrdiff_t all = (point - p) + decimals;
    bool more = last < end && (*last == 'e' || *last == 'E' || *last == 'x' || *last == 'X');
    // Below 10^15 the digits are at most 15 significant ones, and exact in a double.
    if (all == 0 || all > 19 || digits >= 1000000000000000 || decimals > 22 || more)
        return std::nullopt;
    double number = static_cast<double>(digits) / kPowersOfTen[decimals];
    return negative ? -number : number;
}
}  // namespace

double ParseNumber(const char* text, std::size_t length) {
    if (std::optional<double> simple = ParseSimpleDecimal(text, text + length)) return *simple;
    const char* end = text + length;
    if (const void* nul = std::memchr(text, '\0', length)) end = static_cast<const char*>(nul);
    const char* p = text;
    while (p < end && IsCSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    // from_chars would take a second sign, atof does not.
    if (p == end || *p == '+' || *p == '-') return 0.0;
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        return ParseWithStrtod(text, static_cast<std::size_t>(end - text));
    double number = 0.0;
    std::from_chars_result result = std::from_chars(p, end, number);
    if (result.ec == std::errc()) return negative ? -number : number;
    if (result.ec == std::errc::invalid_argument) return 0.0;
    return ParseWithStrtod(text, static_cast<std::size_t>(end - text));
}

namespace {
// The digits of a plain decimal field: its sign, its significant digits without the zeros around
// them, and the power of ten of the first of them.
struct Decimal {
    bool negative = false;
    char digits[24];
    int count = 0;     // significant digits; 0 for zero
    int exponent = 0;  // of digits[0]: the value is d0.d1d2... * 10^exponent
};

// Reads blanks, a sign, digits with at most one point, and blanks up to `end`; false for any other
// text (an exponent, a second sign or point, no digit, text after the number).
bool ReadDecimal(const char* p, const char* end, Decimal* decimal) {
    p = SkipPadding(p, end);
    while (p < end && IsCSpace(*p)) ++p;
    decimal->negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-')) ++p;
    char all[24];
    int count = 0, whole = -1;  // digits read; those before the point (-1: no point yet)
    for (; p < end && count < 24; ++p) {
        if (*p == '.' && whole < 0)
            whole = count;
        else if (*p >= '0' && *p <= '9')
            all[count++] = *p;
        else
            break;
    }
    while (p < end && IsCSpace(*p)) ++p;
    if (p != end || count == 0) return false;
    if (whole < 0) whole = count;
    int first = 0, last = count;
    while (first < count && all[first] == '0') ++first;
    while (last > first && all[last - 1] == '0') --last;
    decimal->count = last - first;
    std::memcpy(decimal->digits, all + first, static_cast<std::size_t>(decimal->count));
    decimal->exponent = whole - first - 1;
    return true;
}

// Writes the digits as to_chars writes a double's shortest digits: in fixed or exponent form,
// whichever is shorter, fixed when both are as long.
char* WriteDecimal(const Decimal& d, char* out) {
    if (d.negative) *out++ = '-';
    if (d.count == 0) {
        *out++ = '0';
        return out;
    }
    int n = d.count, e = d.exponent, magnitude = e < 0 ? -e : e;
    int fixed = e >= n - 1 ? e + 1 : e >= 0 ? n + 1 : n + 1 - e;
    int scientific = n + (n > 1 ? 1 : 0) + 2 + (magnitude >= 100 ? 3 : 2);
    if (fixed <= scientific && e >= n - 1) {
        out = std::copy(d.digits, d.digits + n, out);
        return std::fill_n(out, e - n + 1, '0');
    }
    if (fixed <= scientific && e >= 0) {
        out = std::copy(d.digits, d.digits + e + 1, out);
        *out++ = '.';
        return std::copy(d.digits + e + 1, d.digits + n, out);
    }
    if (fixed <= scientific) {
        *out++ = '0';
        *out++ = '.';
        out = std::fill_n(out, -e - 1, '0');
        return std::copy(d.digits, d.digits + n, out);
    }
    *out++ = d.digits[0];
    if (n > 1) *out++ = '.';
    out = std::copy(d.digits + 1, d.digits + n, out);
    *out++ = 'e';
    *out++ = e < 0 ? '-' : '+';
    if (magnitude >= 100) *out++ = static_cast<char>('0' + magnitude / 100);
    *out++ = static_cast<char>('0' + magnitude / 10 % 10);
    *out++ = static_cast<char>('0' + magnitude % 10);
    return out;
}
}  // namespace

char* WriteExactText(double number, char* out) {
    if (std::isnan(number)) number = std::fabs(number);  // "nan", never "-nan"
    return std::to_chars(out, out + kMaxExactText, number).ptr;
}

std::string ExactText(double number) {
    char text[kMaxExactText];
    return std::string(text, WriteExactText(number, text));
}

char* WriteFieldText(const char* text, std::size_t length, char* out) {
    const char* end = text + length;  // a NUL ends the plain reading, as anything else does
    // A decimal of at most 15 significant digits reads as the one double whose shortest text
    // has those digits: they are written as they are, without reading them as a number. From
    // 1e15 on, fixed form would show all the double's digits, as printf does.
    Decimal decimal;
    if (ReadDecimal(text, end, &decimal) && decimal.count <= 15 && decimal.exponent < 15)
        return WriteDecimal(decimal, out);
    return WriteExactText(ParseNumber(text, length), out);
}

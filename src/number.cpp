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

// Decimals without an exponent and with at most 15 significant digits and 22 decimals, the
// simulator's usual fields, read without from_chars: the digits as a whole number and one
// division by an exact power of ten give the correctly rounded double, as strtod does. None for
// anything else (signs twice, exponents, hexadecimal, inf, nan, more digits), for the full path.
std::optional<double> ParseSimpleDecimal(const char* p, const char* end) {
    static const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    // Fields are right-aligned: skip their padding eight spaces at a time.
    const std::uint64_t kSpaces = 0x2020202020202020;
    for (std::uint64_t word; end - p >= 8; p += 8) {
        std::memcpy(&word, p, sizeof word);
        if (word != kSpaces) break;
    }
    while (p < end && IsCSpace(*p)) ++p;
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-')) ++p;
    std::uint64_t digits = 0;
    int significant = 0, decimals = 0;
    bool any = false, dot = false;
    for (; p < end; ++p) {
        if (*p == '.' && !dot) {
            dot = true;
            continue;
        }
        if (*p < '0' || *p > '9') break;
        any = true;
        digits = digits * 10 + static_cast<unsigned>(*p - '0');
        significant += digits != 0;
        decimals += dot;
        if (significant > 15 || decimals > 22) return std::nullopt;
    }
    bool more = p < end && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X');
    if (!any || more) return std::nullopt;
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

std::string ExactText(double number) {
    if (std::isnan(number)) return "nan";  // not "-nan": a NaN's sign means nothing to a reader
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, number).ptr);
}

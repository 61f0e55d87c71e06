// The number reader and writer: fields parsed exactly as atof parses them, and numbers written
// as text that reads back exactly: the shortest decimal, or a fast hexadecimal for records.
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

// 2^e as a double, for e from -1022 to 1023.
double PowerOfTwo(int e) {
    std::uint64_t bits = static_cast<std::uint64_t>(e + 1023) << 52;
    double power;
    std::memcpy(&power, &bits, sizeof power);
    return power;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit, or -1: a table, as digits and letters mix at random and
// branches on them would mostly be mispredicted.
struct HexDigits {
    signed char value[256] = {};
    constexpr HexDigits() {
        for (int c = 0; c < 256; ++c)
            value[c] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
                       : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                       : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
                                              : -1;
    }
};
constexpr HexDigits kHexDigits;

// A record as HexText writes a finite number, "[-]0x<14 hexadecimal digits>p<sign><4 digits>",
// read without strtod, at fixed places and with no branch on the digits. The whole number is
// below 2^53 and the power of two exact, so their product is exact where the power is a normal
// double. None for any other text, for the other ways.
std::optional<double> ParseHexRecord(const char* text, std::size_t length) {
    bool minus = length > 0 && text[0] == '-';
    const char* p = text + minus;
    std::size_t size = length - minus;
    if (size < 22 || p[0] != '0' || p[1] != 'x' || p[16] != 'p' || (p[17] != '+' && p[17] != '-'))
        return std::nullopt;
    std::uint64_t whole = 0;
    int bad = 0;  // negative once a place holds what it must not
    for (int i = 2; i < 16; ++i) {
        int digit = kHexDigits.value[static_cast<unsigned char>(p[i])];
        bad |= digit;
        whole = whole << 4 | static_cast<unsigned>(digit & 15);
    }
    int exponent = 0;
    for (int i = 18; i < 22; ++i) {
        int digit = p[i] - '0';
        bad |= digit | (9 - digit);
        exponent = exponent * 10 + digit;
    }
    // A fifth exponent digit would be read on by strtod.
    if (bad < 0 || (size > 22 && IsDigit(p[22])) || whole >= (std::uint64_t{1} << 53))
        return std::nullopt;
    exponent = p[17] == '-' ? -exponent : exponent;
    if (whole != 0 && (exponent < -1022 || exponent > 1023)) return std::nullopt;
    double value = whole == 0 ? 0.0 : static_cast<double>(whole) * PowerOfTwo(exponent);
    return minus ? -value : value;
}
}  // namespace

double ParseNumber(const char* text, std::size_t length) {
    if (std::optional<double> record = ParseHexRecord(text, length)) return *record;
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

std::size_t HexText(double number, char* out) {
    std::uint64_t bits;
    std::memcpy(&bits, &number, sizeof bits);
    int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0x7ff)  // inf, nan
        return static_cast<std::size_t>(std::to_chars(out, out + kHexTextSize, number).ptr - out);
    std::uint64_t whole = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased != 0) whole |= std::uint64_t{1} << 52;
    int exponent = (biased != 0 ? biased : 1) - 1075;  // number = whole * 2^exponent
    char* p = out;
    if (bits >> 63) *p++ = '-';
    *p++ = '0';
    *p++ = 'x';
    for (int i = 13; i >= 0; --i, whole >>= 4) p[i] = "0123456789abcdef"[whole & 15];
    p += 14;
    *p++ = 'p';
    *p++ = exponent < 0 ? '-' : '+';
    int magnitude = exponent < 0 ? -exponent : exponent;  // up to 1074
    for (int i = 3; i >= 0; --i, magnitude /= 10) p[i] = static_cast<char>('0' + magnitude % 10);
    return static_cast<std::size_t>(p + 4 - out);
}

std::string ExactText(double number) {
    if (std::isnan(number)) return "nan";  // not "-nan": a NaN's sign means nothing to a reader
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, number).ptr);
}

// The number reader: fields parsed exactly as atof parses them, and numbers written back as the
// shortest text that reads back exactly.
#include "number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// A plain decimal, the simulator's usual field, is read in one window of 16 bytes with SSE2,
// which every x86-64 has: its bytes classified at once, the digits joined over the point and made
// a whole number by three multiply-adds, without a branch on any digit. Elsewhere the full path
// reads every field.
constexpr int kWindow = 16;  // bytes

// Bytes [0, count) set, the others clear, for count in [0, 16].
__m128i FirstBytes(int count) {
    alignas(16) static const signed char kMasks[2 * kWindow] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                                -1, -1, -1, -1, -1, -1, -1, -1};
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kMasks + kWindow - count));
}

unsigned Bits(__m128i mask) {
    return static_cast<unsigned>(_mm_movemask_epi8(mask));
}

__m128i Is(__m128i bytes, char c) {
    return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c));
}

// A window of blanks, a minus, digits with at most one point, and blanks: its bytes, and bit i of
// each mask for its byte i.
struct PlainWindow {
    __m128i values, isDigit;  // bytes less '0'; 0xff for a digit
    unsigned point, minus;    // the point, the minus
    unsigned digits;          // the digits
    int at;                   // the point's place, or the place after the digits without one
};

// Finds the plain decimal of a window whose text goes on past it unless `textEnds`. False for
// anything else (other bytes, a plus, two points, no digit, digits that may go on past the
// window), which the full path reads.
__attribute__((always_inline)) inline bool FindPlain(const char* window, bool textEnds,
                                                     PlainWindow* plain) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window));
    plain->values = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
    plain->isDigit = _mm_cmpeq_epi8(_mm_min_epu8(plain->values, _mm_set1_epi8(9)), plain->values);
    const __m128i isPoint = Is(bytes, '.');
    const unsigned point = Bits(isPoint);
    const unsigned text = ~Bits(Is(bytes, ' ')) & 0xFFFF;  // what is not a blank
    const unsigned head = text & -text;                    // its first byte
    const unsigned after = text + head;  // the byte after it when it is one run; bit 16: none
    const unsigned minus = head & Bits(Is(bytes, '-'));
    const unsigned digits = text & ~minus & ~point;
    plain->point = point;
    plain->minus = minus;
    plain->digits = digits;
    plain->at = __builtin_ctz(point | after | 1u << kWindow);  // defined for a window of blanks too
    return (after & text) == 0 &&
           ((digits | point) & ~Bits(_mm_or_si128(plain->isDigit, isPoint))) == 0 && digits != 0 &&
           (point & (point - 1)) == 0 && (after >> kWindow == 0 || textEnds);
}

// The value of a plain window. The digits, with zeros in place of the bytes after them, make a
// whole number V below 10^16, and the window's value is V / 10^k, k at most 16. Below 2^53 V is
// exact in a double, and so is 10^k (up to 10^22): one division of the two gives the correctly
// rounded value, as strtod does. False from 2^53 on.
__attribute__((always_inline)) inline bool PlainValue(const PlainWindow& plain, double* number) {
    // The bytes from the point on (from after the digits without one) move one place back, so
    // that the digits are one run.
    const __m128i before = FirstBytes(plain.at);
    const __m128i digitValues = _mm_and_si128(plain.values, plain.isDigit);
    const __m128i joined = _mm_or_si128(_mm_and_si128(before, digitValues),
                                        _mm_andnot_si128(before, _mm_srli_si128(digitValues, 1)));
    // Pairs, fours, then two eights of the 16 digits, the first the most significant.
    const __m128i zero = _mm_setzero_si128();
    const __m128i pairs = _mm_packs_epi32(
        _mm_madd_epi16(_mm_unpacklo_epi8(joined, zero), _mm_set1_epi32(1 << 16 | 10)),
        _mm_madd_epi16(_mm_unpackhi_epi8(joined, zero), _mm_set1_epi32(1 << 16 | 10)));
    const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(1 << 16 | 100));
    const __m128i eights =
        _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(1 << 16 | 10000));
    const std::uint64_t whole =
        static_cast<std::uint64_t>(_mm_cvtsi128_si32(eights)) * 100000000 +
        static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(eights, 1)));
    if (whole >= std::uint64_t{1} << 53) return false;
    static const double kPowersOfTen[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7, 1e8,
                                          1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};
    const double value =
        static_cast<double>(static_cast<std::int64_t>(whole)) / kPowersOfTen[kWindow - plain.at];
    static const double kSigns[] = {1.0, -1.0};  // exact, and -0 for 0; no branch on the sign
    *number = value * kSigns[plain.minus != 0];
    return true;
}

// The window of a right-aligned field: its last 16 bytes when all before them are blanks, else
// its first 16, whose text goes on past them unless *textEnds. None for a text not 16 to 32
// bytes long.
__attribute__((always_inline)) inline const char* FieldWindow(const char* text, std::size_t length,
                                                              bool* textEnds) {
    std::size_t before = length - kWindow;  // bytes before the last 16
    if (before > kWindow) return nullptr;
    unsigned blank = Bits(Is(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text)), ' '));
    bool aligned = (~blank & ((1u << before) - 1)) == 0;
    *textEnds = aligned || before == 0;
    return aligned ? text + before : text;
}

__attribute__((always_inline)) inline bool ParseField(const char* text, std::size_t length,
                                                      double* number) {
    bool textEnds;
    const char* window = FieldWindow(text, length, &textEnds);
    PlainWindow plain;
    return window != nullptr && FindPlain(window, textEnds, &plain) && PlainValue(plain, number);
}

// A text shorter than a window has blanks put before it, which atof skips as it skips its own.
bool ParseShortText(const char* text, std::size_t length, double* number) {
    if (length >= kWindow) return false;
    char padded[kWindow];
    std::memset(padded, ' ', sizeof padded);
    std::memcpy(padded + kWindow - length, text, length);
    PlainWindow plain;
    return FindPlain(padded, true, &plain) && PlainValue(plain, number);
}
#else
inline bool ParseField(const char*, std::size_t, double*) {
    return false;
}
bool ParseShortText(const char*, std::size_t, double*) {
    return false;
}
#endif

// Whatever atof reads that is not a plain decimal.
__attribute__((noinline)) double ParseAnyNumber(const char* text, std::size_t length) {
    double plain;
    if (ParseShortText(text, length, &plain)) return plain;
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
}  // namespace

double ParseNumber(const char* text, std::size_t length) {
    double plain;
    return ParseField(text, length, &plain) ? plain : ParseAnyNumber(text, length);
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

#if defined(__SSE2__)
// Reads a right-aligned field's plain decimal as FindPlain finds it: the number atof reads, even
// with other bytes after the window. False where FindPlain is.
bool FindFieldDecimal(const char* text, std::size_t length, Decimal* decimal) {
    bool textEnds;
    const char* window = FieldWindow(text, length, &textEnds);
    PlainWindow plain;
    if (window == nullptr || !FindPlain(window, textEnds, &plain)) return false;
    decimal->negative = plain.minus != 0;
    const unsigned significant =
        plain.digits & ~Bits(_mm_cmpeq_epi8(plain.values, _mm_setzero_si128()));
    if (significant == 0) {
        decimal->count = 0;
        return true;
    }
    const int first = __builtin_ctz(significant), last = 31 - __builtin_clz(significant);
    const int at = plain.at;
    if (first < at && at < last) {  // the point among the digits
        std::memcpy(decimal->digits, window + first, static_cast<std::size_t>(at - first));
        std::memcpy(decimal->digits + (at - first), window + at + 1,
                    static_cast<std::size_t>(last - at));
        decimal->count = last - first;
    } else {
        std::memcpy(decimal->digits, window + first, static_cast<std::size_t>(last - first + 1));
        decimal->count = last - first + 1;
    }
    decimal->exponent = first < at ? at - first - 1 : at - first;
    return true;
}
#else
bool FindFieldDecimal(const char*, std::size_t, Decimal*) {
    return false;
}
#endif

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
    if ((FindFieldDecimal(text, length, &decimal) || ReadDecimal(text, end, &decimal)) &&
        decimal.count <= 15 && decimal.exponent < 15)
        return WriteDecimal(decimal, out);
    return WriteExactText(ParseNumber(text, length), out);
}

std::optional<double> ReadDecimal(const char* text) {
    if (std::strpbrk(text, "xX") != nullptr) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The number reader: fields parsed exactly as atof parses them, and numbers written back as the
// shortest text that reads back exactly.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// What atof gives for the text of length characters at text (up to a NUL, if any):
// leading blanks, a sign, decimal or hexadecimal numbers, inf and nan, a partial number, and
// 0.0 for text that does not begin with a number. Fast: no locale, no allocation.
double ParseNumber(const char* text, std::size_t length);

// The shortest text that reads back as exactly `number` ("0.1", "1e-07", "280.25"); "nan",
// "inf" and "-inf" for those, whatever a NaN's sign.
std::string ExactText(double number);

// A finite decimal number, the whole text as strtod reads it, else none: no hexadecimal, no
// infinity or NaN.
std::optional<double> ReadDecimal(const char* text);

// Writes ExactText(number) to `out`, which has room for kMaxExactText characters, without
// allocating; returns the end of the text.
constexpr std::size_t kMaxExactText = 32;
char* WriteExactText(double number, char* out);
// Writes ExactText(ParseNumber(text, length)) to `out` as WriteExactText does; a plain decimal
// field, the simulator's usual one, several times faster, from its digits.
char* WriteFieldText(const char* text, std::size_t length, char* out);

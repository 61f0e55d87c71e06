// The number reader and writer: fields parsed exactly as atof parses them, and numbers written
// as text that reads back exactly: the shortest decimal, or a fast hexadecimal for records.
#pragma once

#include <cstddef>
#include <string>

// What atof gives for the text of length characters at text (up to a NUL, if any):
// leading blanks, a sign, decimal or hexadecimal numbers, inf and nan, a partial number, and
// 0.0 for text that does not begin with a number. Fast: no locale, no allocation.
double ParseNumber(const char* text, std::size_t length);

// Writes `number` exactly in the C hexadecimal form that atof reads, at fixed width: a whole
// number below 2^53 in 14 hexadecimal digits and a binary exponent in 4 digits
// ("0x160ae7d566cf42p-0048" for 22.0426, "-0x10000000000000p-0053" for -0.5; "inf", "-inf",
// "nan" as to_chars writes them). Returns the length, at most 23, written into `out`, which
// holds kHexTextSize bytes. ParseNumber reads it back several times faster than a decimal.
constexpr std::size_t kHexTextSize = 24;
std::size_t HexText(double number, char* out);

// The shortest text that reads back as exactly `number` ("0.1", "1e-07", "280.25"); "inf",
// "-inf", and "nan" for any NaN.
std::string ExactText(double number);

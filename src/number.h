// The number reader: fields parsed exactly as atof parses them, and numbers written back as the
// shortest text that reads back exactly.
#pragma once

#include <cstddef>
#include <string>

// What atof gives for the text of length characters at text (up to a NUL, if any):
// leading blanks, a sign, decimal or hexadecimal numbers, inf and nan, a partial number, and
// 0.0 for text that does not begin with a number. Fast: no locale, no allocation.
double ParseNumber(const char* text, std::size_t length);

// The shortest text that reads back as exactly `number` ("0.1", "1e-07", "280.25"); "inf",
// "-inf", and "nan" for any NaN.
std::string ExactText(double number);

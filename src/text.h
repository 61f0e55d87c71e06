// Text for where it goes: names escaped for a terminal, UTF-8 where it must be, CSV fields, and
// the error convention's one line.
#pragma once

#include <string>
#include <vector>

// The error convention: a function that fails fills `err` with one line and returns false.
inline bool Refuse(std::string* err, const std::string& message) {
    *err = message;
    return false;
}

// The pieces of `text` between `separator`s: one more than there are separators, empty ones kept.
std::vector<std::string> SplitAt(const std::string& text, char separator);

// `text` with A-Z as a-z: names and extensions are matched in any case.
std::string LowercaseAscii(std::string text);

// `name` with control bytes shown as \xHH escapes, so that a file name cannot drive the
// terminal it is printed to: C0 bytes, DEL, and C1 bytes (0x80-0x9f alone, or U+0080-U+009F in
// UTF-8). Printable text, UTF-8 included, stays as it is.
std::string Printable(const std::string& name);
// Printable(name) with every byte that is not part of well-formed UTF-8 escaped too, for text
// that must be valid UTF-8 (the report plot's, which cairo refuses otherwise).
std::string PrintableUtf8(const std::string& name);
// Well-formed UTF-8 `text` in Latin-1 (ISO 8859-1), for where only Latin-1 is read (X's WM_NAME):
// each character beyond U+00FF as \uXXXX, or \UXXXXXXXX beyond U+FFFF, and a byte that is not
// part of well-formed UTF-8 as \xHH, so that nothing is lost.
std::string Latin1Escaped(const std::string& text);

// A field as CSV (RFC 4180) writes it: as it is, or, when it holds a comma, a quote or a line end,
// in quotes with its quotes doubled.
std::string CsvField(const std::string& text);
// Appends one row: the fields, each as CsvField writes it, between commas, and a line feed.
void AppendCsvRow(const std::vector<std::string>& fields, std::string* out);

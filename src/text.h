// Text escaped for where it is shown: control bytes never reach a terminal, and text that must
// be UTF-8 is.
#pragma once

#include <string>

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

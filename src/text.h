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

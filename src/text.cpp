// Text for where it goes: names escaped for a terminal, UTF-8 where it must be, CSV fields, and
// the error convention's one line.
#include "text.h"

#include <cstdio>

namespace {
// Length of the well-formed UTF-8 sequence of two to four bytes at text[i], or 0. The second
// byte's range is narrower after E0, ED, F0 and F4: no overlong forms, surrogates, or code
// points beyond U+10FFFF.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    unsigned char lead = text[i];
    std::size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
    if (lead < 0xc2 || lead > 0xf4 || i + length > text.size()) return 0;
    unsigned char low = lead == 0xe0 ? 0xa0 : lead == 0xf0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xed ? 0x9f : lead == 0xf4 ? 0x8f : 0xbf;
    for (std::size_t k = 1; k < length; ++k, low = 0x80, high = 0xbf) {
        unsigned char next = text[i + k];
        if (next < low || next > high) return 0;
    }
    return length;
}
}  // namespace

std::string Printable(const std::string& name) {
    std::string shown;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = name[i];
        std::size_t length = c >= 0x80 ? Utf8Length(name, i) : 0;
        // U+0080-U+009F, C2 80 to C2 9F, are the C1 controls again.
        bool c1 = length == 2 && c == 0xc2 && static_cast<unsigned char>(name[i + 1]) <= 0x9f;
        if (length > 0 && !c1) {
            shown.append(name, i, length);
            i += length - 1;
        } else if (c < 0x20 || c == 0x7f || (c >= 0x80 && c <= 0x9f) || c1) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
        } else {
            shown += static_cast<char>(c);  // printable ASCII, or a byte of an 8-bit charset
        }
    }
    return shown;
}

std::string PrintableUtf8(const std::string& name) {
    // Printable's escapes are ASCII: the sequences it keeps stay whole, the bytes it left raw
    // still belong to none.
    std::string printable = Printable(name), shown;
    for (std::size_t i = 0; i < printable.size(); ++i) {
        unsigned char c = printable[i];
        std::size_t length = c < 0x80 ? 1 : Utf8Length(printable, i);
        if (length == 0) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
            continue;
        }
        shown.append(printable, i, length);
        i += length - 1;
    }
    return shown;
}

std::string Latin1Escaped(const std::string& text) {
    std::string latin1;
    char escape[11];
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = text[i];
        std::size_t length = c < 0x80 ? 1 : Utf8Length(text, i);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            latin1 += escape;
            continue;
        }
        unsigned long code = length == 1 ? c : c & (0x7fu >> length);  // the lead byte's bits
        for (std::size_t k = 1; k < length; ++k) code = code << 6 | (text[i + k] & 0x3f);
        i += length - 1;
        if (code <= 0xff) {
            latin1 += static_cast<char>(code);
            continue;
        }
        std::snprintf(escape, sizeof escape, code > 0xffff ? "\\U%08lx" : "\\u%04lx", code);
        latin1 += escape;
    }
    return latin1;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

std::string LowercaseAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void AppendCsvRow(const std::vector<std::string>& fields, std::string* out) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) *out += ',';
        *out += CsvField(fields[i]);
    }
    *out += '\n';
}

// libFuzzer target: any bytes as a log body must give whole 23-byte records, the same records
// whatever pieces they arrive in, and fields must parse exactly as atof parses them.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "logdata.h"

namespace {
void CheckParse(const char* text, std::size_t size) {
    char copy[kRecordSize + 1];
    size = std::min<std::size_t>(size, kRecordSize);
    std::memcpy(copy, text, size);
    copy[size] = '\0';
    double expected = std::atof(copy);
    double got = ParseNumber(text, size);
    if (std::isnan(expected) ? !std::isnan(got) : got != expected) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    int column = data[0] % 4 + 1;
    std::size_t cut = data[1] % (size - 1);
    const char* body = reinterpret_cast<const char*>(data + 2);
    std::size_t length = size - 2;
    CheckParse(body, length);

    ColumnScanner whole(column), pieces(column);
    std::string expected, got;
    whole.Feed(body, length, expected);
    whole.Finish(expected);
    pieces.Feed(body, std::min(cut, length), got);
    pieces.Feed(body + std::min(cut, length), length - std::min(cut, length), got);
    pieces.Finish(got);
    if (got != expected || expected.size() != whole.records() * std::size_t{kRecordSize})
        std::abort();
    if (std::memchr(expected.data(), '\n', expected.size()) != nullptr) std::abort();
    if (!std::isfinite(whole.extreme())) std::abort();
    return 0;
}

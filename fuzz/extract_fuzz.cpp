// libFuzzer target: any bytes as a log body must give whole 23-byte records, the same records
// whatever pieces they arrive in, and fields must parse exactly as atof parses them. The same
// bytes as a chart type must read as atoi reads a number that fits an int and be refused
// otherwise, or, when they do not begin with a number, name a chart type or be refused as given;
// shown as a name they must hold no control byte.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "charttypes.h"
#include "number.h"
#include "scanner.h"
#include "settings.h"
#include "text.h"

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

void CheckChartType(const char* text, std::size_t size) {
    std::string given(text, std::min<std::size_t>(size, 40));
    given = given.c_str();  // up to a NUL, as an argument would be
    errno = 0;
    long long number = std::strtoll(given.c_str(), nullptr, 10);
    bool fits = errno != ERANGE && number >= INT_MIN && number <= INT_MAX;
    const char* argv[] = {"plovo", "log.dat", given.c_str()};
    Settings settings;
    ApplyCommandLine(3, argv, settings);
    std::size_t sign = given.find_first_not_of(" \t\n\v\f\r");
    if (sign != std::string::npos && (given[sign] == '+' || given[sign] == '-')) ++sign;
    if (sign >= given.size() || !std::isdigit(static_cast<unsigned char>(given[sign]))) {
        // Not a number: a chart type's name, or refused with the text as given.
        std::vector<int> types = ChartTypesNamed(given);
        bool named = types.size() == 1 && settings.chartType == types[0];
        if (!named && (settings.chartType != 0 ||
                       settings.chartTypeName != std::optional<std::string>(given)))
            std::abort();
    } else if (fits ? settings.chartType != number || !settings.chartTypeText.empty()
                    : settings.chartTypeText.empty()) {
        std::abort();
    }
    for (unsigned char c : Printable(std::string(text, size)))
        if (c < 0x20 || c == 0x7f) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    int column = data[0] % 4 + 1;
    std::size_t cut = data[1] % (size - 1);
    const char* body = reinterpret_cast<const char*>(data + 2);
    std::size_t length = size - 2;
    CheckParse(body, length);
    CheckChartType(body, length);

    ColumnScanner whole(column, kTimeColumn), pieces(column, kTimeColumn);
    std::string expected, got, expectedTimes, gotTimes;
    whole.Feed(body, length, expected, &expectedTimes);
    whole.Finish(expected, &expectedTimes);
    pieces.Feed(body, std::min(cut, length), got, &gotTimes);
    pieces.Feed(body + std::min(cut, length), length - std::min(cut, length), got, &gotTimes);
    pieces.Finish(got, &gotTimes);
    if (got != expected || expected.size() != whole.records() * std::size_t{kRecordSize})
        std::abort();
    if (gotTimes != expectedTimes || (column != kTimeColumn && gotTimes.size() != got.size()))
        std::abort();
    if (std::memchr(expected.data(), '\n', expected.size()) != nullptr) std::abort();
    if (!std::isfinite(whole.extreme())) std::abort();
    return 0;
}

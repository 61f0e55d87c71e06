// libFuzzer target: any bytes as a log body must give fields of at most 23 bytes without a line
// feed, the same whatever pieces they arrive in, and fields must parse exactly as atof does. The
// same bytes as a chart type must read as atoi reads a number that fits an int and be refused
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
    given = given.c_str();                     // up to a NUL, as an argument would be
    given = given.substr(0, given.find(','));  // one chart type, not a list
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
        std::vector<Channel> named = ChannelsNamed(given);
        bool one = named.size() == 1 && settings.chart == named[0];
        if (!one && (!(settings.chart == ColumnChannel(0)) ||
                     settings.chartTypeName != std::optional<std::string>(given)))
            std::abort();
    } else if (fits ? settings.chart.column != number || !settings.chartTypeText.empty()
                    : settings.chartTypeText.empty()) {
        std::abort();
    }
    for (unsigned char c : Printable(std::string(text, size)))
        if (c < 0x20 || c == 0x7f) std::abort();
}
// Each line's fields, joined with their lengths, so that pieces can be compared.
struct Fields : LineSink {
    void OnLine(const FieldText* texts) override {
        for (int i = 0; i < 2; ++i) {
            if (texts[i].length > kRecordSize) std::abort();
            if (std::memchr(texts[i].text, '\n', texts[i].length) != nullptr) std::abort();
            all +=
                std::to_string(texts[i].length) + ":" + std::string(texts[i].text, texts[i].length);
        }
        ++lines;
    }
    std::string all;
    std::int64_t lines = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    int column = data[0] % 4 + 1;
    std::size_t cut = data[1] % (size - 1);
    const char* body = reinterpret_cast<const char*>(data + 2);
    std::size_t length = size - 2;
    CheckParse(body, length);
    CheckChartType(body, length);

    const std::vector<int> columns = {column, kTimeColumn};
    ColumnScanner whole(columns), pieces(columns);
    Fields expected, got;
    whole.Feed(body, length, expected);
    whole.Finish(expected);
    pieces.Feed(body, std::min(cut, length), got);
    pieces.Feed(body + std::min(cut, length), length - std::min(cut, length), got);
    pieces.Finish(got);
    if (got.all != expected.all || got.lines != expected.lines || whole.lines() != expected.lines)
        std::abort();
    return 0;
}

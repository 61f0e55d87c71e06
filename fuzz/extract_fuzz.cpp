// libFuzzer target: any bytes as a log body must give fields of at most 23 bytes without a line
// feed, the same whatever pieces they arrive in, whether its lines come one length after another
// or not, and whether workers read the file in chunks or it is read in place; fields must parse
// exactly as atof does, also fields the bytes shape as the simulator writes them, and be written
// back as the shortest text of that number. The same bytes as a chart type must read as atoi reads
// a number that fits an int and be refused otherwise, or, when they do not begin with a number,
// name a chart type or be refused as given; shown as a name they must hold no control byte.
#include <sys/mman.h>
#include <unistd.h>

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
#include "logreader.h"
#include "number.h"
#include "scanner.h"
#include "settings.h"
#include "text.h"

namespace {
void CheckParse(const char* text, std::size_t size) {
    char copy[2 * kRecordSize + 1];
    size = std::min<std::size_t>(size, 2 * kRecordSize);
    std::memcpy(copy, text, size);
    copy[size] = '\0';
    double expected = std::atof(copy);
    double got = ParseNumber(text, size);
    if (std::isnan(expected) ? !std::isnan(got)
                             : got != expected || std::signbit(got) != std::signbit(expected))
        std::abort();
    char written[kMaxExactText], exact[kMaxExactText];
    std::size_t length = static_cast<std::size_t>(WriteFieldText(text, size, written) - written);
    if (std::string(written, length) != std::string(exact, WriteExactText(got, exact)))
        std::abort();
}

// A field shaped as the simulator writes one, from the bytes at *p: blanks, a sign, up to 19
// digits with a point anywhere, sometimes an exponent or other bytes after them, right-aligned
// in 23 bytes or in fewer.
std::string ShapedField(const std::uint8_t** p, const std::uint8_t* end) {
    auto next = [p, end]() -> unsigned { return *p < end ? *(*p)++ : 0; };
    unsigned shape = next();
    std::string number = shape & 1 ? "-" : shape & 2 ? "+" : "";
    unsigned digits = next() % 20, point = next() % 22;  // a point past the digits: none
    for (unsigned d = 0; d < digits; ++d) {
        if (d == point) number += '.';
        number += static_cast<char>('0' + next() % 10);
    }
    if (point == digits) number += '.';
    static const char* const kAfter[] = {"", "", "", " ", "e", "E-", "e+3", "x", ".", "-"};
    number += kAfter[(shape >> 2) % 10];
    if (shape & 0x80) number += static_cast<char>(next());  // any byte, a NUL or a digit too
    std::size_t width = shape & 0x40 ? next() % 33 : kRecordSize;
    if (number.size() < width) number.insert(0, width - number.size(), ' ');
    return number;
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

// The fields of a body fed at once, in two pieces cut at `cut`, and a byte at a time, which never
// finds a whole line at once.
void ScanInPieces(const std::vector<int>& columns, const char* body, std::size_t length,
                  std::size_t cut) {
    cut = std::min(cut, length);
    ColumnScanner whole(columns), pieces(columns), bytes(columns);
    Fields expected, got, bytewise;
    whole.Feed(body, length, expected);
    whole.Finish(expected);
    pieces.Feed(body, cut, got);
    pieces.Feed(body + cut, length - cut, got);
    pieces.Finish(got);
    for (std::size_t i = 0; i < length; ++i) bytes.Feed(body + i, 1, bytewise);
    bytes.Finish(bytewise);
    if (got.all != expected.all || got.lines != expected.lines || whole.lines() != expected.lines ||
        bytewise.all != expected.all || bytes.lines() != expected.lines)
        std::abort();
}
// Each line's number, fields and their numbers' bits, as the consumers of a reading take them.
class Taken : public LineConsumer {
  public:
    Taken(ColumnSet& columns, const std::vector<int>& wanted) {
        for (int column : wanted) fields.push_back(columns.Field(column));
    }
    void OnLine(const LogLine& line) override {
        all += std::to_string(line.record);
        for (std::size_t field : fields) {
            double number = line.Number(field);
            char bits[sizeof number];
            std::memcpy(bits, &number, sizeof number);
            all += "|" + std::string(line.fields[field].text, line.fields[field].length) +
                   std::string(bits, sizeof bits);
        }
    }
    std::string all;

  private:
    std::vector<std::size_t> fields;
};

std::string Read(const std::string& path, const std::vector<int>& columns, unsigned workers,
                 std::size_t chunk) {
    LogReader reader(path);
    Taken taken(reader.columns(), columns);
    reader.Add(taken);
    reader.ShowProgress(false);
    reader.UseWorkers(workers, chunk);
    std::string err;
    if (!reader.Start(false, &err)) std::abort();
    return taken.all + "#" + std::to_string(reader.lines());
}

// The body behind a header, repeated until workers read it, in chunks of 494 bytes and more.
void ReadInChunks(const std::vector<int>& columns, const std::string& body, std::size_t cut) {
    if (body.empty()) return;
    std::string log(kHeaderSize, 'H');
    while (log.size() < 4 * 800) log += body;
    int fd = memfd_create("log", 0);
    if (fd < 0) return;
    if (write(fd, log.data(), log.size()) == static_cast<ssize_t>(log.size())) {
        std::string path = "/proc/self/fd/" + std::to_string(fd);
        std::size_t chunk = 2 * kHeaderSize + cut % 300;
        if (Read(path, columns, 3, chunk) != Read(path, columns, 1, chunk)) std::abort();
    }
    close(fd);
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

    for (const std::uint8_t *p = data + 2, *end = data + size; p < end;) {
        std::string field = ShapedField(&p, end);
        CheckParse(field.data(), field.size());
    }

    const std::vector<int> columns = {column, kTimeColumn};
    ScanInPieces(columns, body, length, cut);
    // The body's first line, repeated, then the body: lines of one length, and whatever breaks it.
    const char* lf = static_cast<const char*>(std::memchr(body, '\n', length));
    std::string lines;
    for (int i = 0; lf != nullptr && i < 4; ++i) lines.append(body, lf + 1);
    lines.append(body, length);
    ScanInPieces(columns, lines.data(), lines.size(), cut);
    ReadInChunks(columns, lines, cut);
    return 0;
}

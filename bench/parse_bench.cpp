// parse_bench: the number reader in ns per field and the column scanner in ns per line, on a
// genlog log held in memory, beside the digit loop the reader had before, atof, and counting the
// log's line feeds. Usage: parse_bench [--benchmark_repetitions=N ...] (Google Benchmark's options)
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "number.h"
#include "scanner.h"

namespace {
constexpr int kLogLines = 4000;  // 1 MB: the size of a few read blocks, mostly in the caches

// The data lines of a genlog log, without its header.
const std::string& Body() {
    static const std::string body = [] {
        std::string command = std::string(GENLOG) + " " + std::to_string(kLogLines);
        FILE* pipe = popen(command.c_str(), "r");
        std::string text;
        char block[1 << 16];
        for (std::size_t got; pipe && (got = std::fread(block, 1, sizeof block, pipe)) > 0;)
            text.append(block, got);
        if (pipe == nullptr || pclose(pipe) != 0 || text.size() < kHeaderSize) {
            std::fprintf(stderr, "parse_bench: cannot run '%s'\n", command.c_str());
            std::exit(1);
        }
        return text.substr(kHeaderSize);
    }();
    return body;
}

// The same lines with a blank added before every other line feed: no two lines in a row have
// one length, so the scanner finds every line feed with memchr.
const std::string& UnevenBody() {
    static const std::string body = [] {
        std::string text;
        bool odd = false;
        for (char c : Body()) {
            if (c == '\n' && (odd = !odd)) text += ' ';
            text += c;
        }
        return text;
    }();
    return body;
}

// Every field of the log, 23 bytes each, one after another in the order of the lines.
const std::string& LogFields() {
    static const std::string fields = [] {
        std::string all;
        const std::string& body = Body();
        for (std::size_t line = 0; line < body.size(); line = body.find('\n', line) + 1)
            for (std::size_t at = line; body[at] != '\n'; at += kColumnWidth)
                all.append(body, at, kRecordSize);
        return all;
    }();
    return fields;
}

// The reader's plain-decimal path before this benchmark came: digit by digit, then one division
// by an exact power of ten (the fields below never leave it).
double DigitLoop(const char* p, std::size_t length) {
    static const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* end = p + length;
    for (std::uint64_t word; end - p >= 8; p += 8) {
        std::memcpy(&word, p, sizeof word);
        if (word != 0x2020202020202020) break;
    }
    while (p < end && *p == ' ') ++p;
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-')) ++p;
    std::uint64_t digits = 0;
    auto take = [&digits, end](const char* at) {
        for (; at < end && static_cast<unsigned char>(*at - '0') < 10; ++at)
            digits = digits * 10 + static_cast<unsigned>(*at - '0');
        return at;
    };
    const char* point = take(p);
    const char* last = point;
    if (point < end && *point == '.') last = take(point + 1);
    std::ptrdiff_t decimals = last == point ? 0 : last - point - 1;
    if ((point - p) + decimals == 0 || (point - p) + decimals > 19 || digits >= 1000000000000000 ||
        decimals > 22 || (last < end && (*last == 'e' || *last == 'E')))
        return ParseNumber(p, static_cast<std::size_t>(end - p));
    double number = static_cast<double>(digits) / kPowersOfTen[decimals];
    return negative ? -number : number;
}

double Atof(const char* text, std::size_t length) {
    char copy[kRecordSize + 1];
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return std::atof(copy);
}

// Fields as the simulator writes them: time, velocity, acceleration, traction force.
const char* const kFields[] = {"0.1", "22.0426", "-0.00008", "287.8"};

template <double (*Parse)(const char*, std::size_t)>
void OneField(benchmark::State& state) {
    std::string field(kRecordSize, ' ');
    std::string text = kFields[state.range(0)];
    field.replace(kRecordSize - text.size(), text.size(), text);
    state.SetLabel(text);
    for (auto _ : state) {
        const char* data = field.data();
        benchmark::DoNotOptimize(data);  // read anew each time, never hoisted
        benchmark::DoNotOptimize(Parse(data, field.size()));
    }
}

// The log's fields in turn, with their real mix of lengths and signs.
template <double (*Parse)(const char*, std::size_t)>
void LogField(benchmark::State& state) {
    const std::string& fields = LogFields();
    std::size_t at = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Parse(fields.data() + at, kRecordSize));
        at += kRecordSize;
        if (at == fields.size()) at = 0;
    }
}

double WrittenLength(const char* text, std::size_t length) {
    char out[kMaxExactText];
    return static_cast<double>(WriteFieldText(text, length, out) - out);
}

// Parses each line's fields, as a pass over the log does with the columns it needs.
struct Summing : LineSink {
    explicit Summing(std::size_t fields) : fields(fields) {}
    void OnLine(const FieldText* texts) override {
        for (std::size_t i = 0; i < fields; ++i) sum += ParseNumber(texts[i].text, texts[i].length);
    }
    std::size_t fields;
    double sum = 0.0;
};

void ReportPerLine(benchmark::State& state, const std::string& body) {
    std::int64_t lines = 0;
    for (char c : body) lines += c == '\n';
    state.counters["per_line"] = benchmark::Counter(
        static_cast<double>(lines),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The scanner over the whole log in 256 KiB blocks, as the log reader feeds it: the time
// column and range(0) more (velocity, traction force), each parsed.
void Scan(benchmark::State& state, const std::string& body) {
    std::vector<int> columns = {kTimeColumn, 2, 6};
    columns.resize(static_cast<std::size_t>(state.range(0)) + 1);
    for (auto _ : state) {
        ColumnScanner scanner(columns);
        Summing sink(columns.size());
        for (std::size_t at = 0; at < body.size(); at += kBlockSize)
            scanner.Feed(body.data() + at, std::min(kBlockSize, body.size() - at), sink);
        scanner.Finish(sink);
        benchmark::DoNotOptimize(sink.sum);
    }
    ReportPerLine(state, body);
}

void ScanEven(benchmark::State& state) {
    Scan(state, Body());
}

void ScanUneven(benchmark::State& state) {
    Scan(state, UnevenBody());
}

// The floor: counting the line feeds as wc -l does.
void CountLines(benchmark::State& state) {
    const std::string& body = Body();
    for (auto _ : state) {
        std::int64_t lines = 0;
        const char* end = body.data() + body.size();
        for (const char* p = body.data();
             (p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr; ++p)
            ++lines;
        benchmark::DoNotOptimize(lines);
    }
    ReportPerLine(state, Body());
}
}  // namespace

BENCHMARK(OneField<ParseNumber>)->Name("field/ParseNumber")->DenseRange(0, 3);
BENCHMARK(OneField<DigitLoop>)->Name("field/digit_loop")->DenseRange(0, 3);
BENCHMARK(OneField<Atof>)->Name("field/atof")->DenseRange(0, 3);
BENCHMARK(LogField<ParseNumber>)->Name("log_field/ParseNumber");
BENCHMARK(LogField<DigitLoop>)->Name("log_field/digit_loop");
BENCHMARK(LogField<WrittenLength>)->Name("log_field/WriteFieldText");
BENCHMARK(ScanEven)->Name("scan/one_length")->DenseRange(0, 2);
BENCHMARK(ScanUneven)->Name("scan/memchr")->DenseRange(0, 2);
BENCHMARK(CountLines)->Name("scan/count_lines");

BENCHMARK_MAIN();

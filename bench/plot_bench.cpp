// plot_bench: times the report picture of 1,000,000 and 10,000,000 records read from 23-byte
// record files (as the extraction leaves them) against reading them alone, with peak memory; with
// --sample DIR it draws the sample log's braking pictures instead, for a look.
// Usage: plot_bench [RECORDS...]   (default 1000000 10000000; files in $TMPDIR or /tmp)
//        plot_bench --sample DIR   (velocity, brake pressure, motor current, 270 to 330 s)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "logdata.h"
#include "plot.h"

namespace {
constexpr int kRuns = 3;
constexpr std::size_t kBlockRecords = 8192;  // 184 KiB read at a time from each file

// A stretch read from two record files, record k of one the time of record k of the other.
Stretch RecordFiles(const std::string& times, const std::string& values) {
    return [times, values](const StretchVisit& visit) {
        std::FILE* t = std::fopen(times.c_str(), "rb");
        std::FILE* v = std::fopen(values.c_str(), "rb");
        std::vector<char> tBlock(kBlockRecords * kRecordSize), vBlock(tBlock.size());
        std::size_t got;
        while (t && v && (got = std::fread(tBlock.data(), kRecordSize, kBlockRecords, t)) > 0 &&
               std::fread(vBlock.data(), kRecordSize, got, v) == got) {
            for (std::size_t i = 0; i < got; ++i)
                visit(ParseNumber(&tBlock[i * kRecordSize], kRecordSize),
                      ParseNumber(&vBlock[i * kRecordSize], kRecordSize));
        }
        if (t) std::fclose(t);
        if (v) std::fclose(v);
    };
}

void WriteRecord(std::FILE* file, double number) {
    char record[kRecordSize + 8];
    int length = std::snprintf(record, sizeof record, "%.6f", number);
    std::fprintf(file, "%-*.*s", kRecordSize, length, record);
}

// A run 10 ms a sample: a slow wave with noise and, every 100,000 records, a one-sample spike.
void MakeRecords(long records, const std::string& times, const std::string& values) {
    std::FILE* t = std::fopen(times.c_str(), "wb");
    std::FILE* v = std::fopen(values.c_str(), "wb");
    if (!t || !v) std::exit(1);
    unsigned state = 12345;
    for (long i = 0; i < records; ++i) {
        state = state * 1103515245u + 12345u;
        double noise = (state >> 16) / 65536.0 - 0.5;
        double value = 500 + 400 * std::sin(i / 150000.0) + 20 * noise;
        WriteRecord(t, i * 0.01);
        WriteRecord(v, i % 100000 == 50000 ? value + 600 : value);
    }
    if (std::fclose(t) != 0 || std::fclose(v) != 0) std::exit(1);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Run {
    double seconds = 1e9;  // best of kRuns
    long peakKiB = 0;      // largest peak resident set of a run
};

// Runs `work` kRuns times in child processes, so that each peak resident set is its own.
template <typename Work>
Run Measure(Work work) {
    Run run;
    for (int i = 0; i < kRuns; ++i) {
        auto start = std::chrono::steady_clock::now();
        pid_t child = fork();
        if (child == 0) _exit(work() ? 0 : 1);
        int status;
        struct rusage usage;
        wait4(child, &status, 0, &usage);
        if (status != 0) std::exit(1);
        run.seconds = std::min(run.seconds, Seconds(start));
        run.peakKiB = std::max(run.peakKiB, usage.ru_maxrss);
    }
    return run;
}

void Report(long records, const std::string& dir) {
    std::string times = dir + "/plovo-bench-time.rec", values = dir + "/plovo-bench-value.rec";
    MakeRecords(records, times, values);
    Stretch stretch = RecordFiles(times, values);
    Run read = Measure([&] {  // the two passes the plot makes, drawing nothing
        double sum = 0;
        for (int pass = 0; pass < 2; ++pass) stretch([&](double t, double v) { sum += t + v; });
        return sum != 0;
    });
    std::printf("%9ld records  read twice %6.3f s  peak RSS %5.1f MB\n", records, read.seconds,
                read.peakKiB / 1024.0);
    const char* names[] = {"png", "svg", "pdf"};
    for (PlotFormat format : {PlotFormat::kPng, PlotFormat::kSvg, PlotFormat::kPdf}) {
        std::string out = dir + "/plovo-bench." + names[static_cast<int>(format)];
        Run plot = Measure([&] {
            std::string error;
            Plot description;
            description.title = "Bench - synthetic";
            description.yLabel = "Value";
            return WritePlot(stretch, description, format, out, error);
        });
        std::printf("%9ld records  %s %6.3f s  beyond reading %6.3f s  peak RSS %5.1f MB\n",
                    records, names[static_cast<int>(format)], plot.seconds,
                    plot.seconds - read.seconds, plot.peakKiB / 1024.0);
        std::remove(out.c_str());
    }
    std::remove(times.c_str());
    std::remove(values.c_str());
}

// The sample log's stretch from the first record at or after `from` seconds up to, not including,
// the first later record after `to` seconds; columns read as the extraction reads them.
Stretch SampleStretch(int column, double from, double to) {
    std::ifstream in(PLOVO_SOURCE_DIR "/examples/sample.dat", std::ios::binary);
    std::string log(std::istreambuf_iterator<char>(in), {});
    std::string times, values;
    ColumnScanner timeScanner(1), valueScanner(column);
    std::size_t body = std::min<std::size_t>(log.size(), kHeaderSize);
    timeScanner.Feed(log.data() + body, log.size() - body, times);
    valueScanner.Feed(log.data() + body, log.size() - body, values);
    timeScanner.Finish(times);
    valueScanner.Finish(values);
    return [times, values, from, to](const StretchVisit& visit) {
        bool started = false;
        for (std::size_t at = 0; at < times.size(); at += kRecordSize) {
            double t = ParseNumber(&times[at], kRecordSize);
            started = started || t >= from;
            if (started && t > to) return;
            if (started) visit(t, ParseNumber(&values[at], kRecordSize));
        }
    };
}

int DrawSample(const std::string& dir) {
    struct Chart {
        int type;
        const char* name;
    };
    for (Chart chart :
         {Chart{2, "velocity"}, Chart{9, "brake-pressure"}, Chart{11, "motor-current"}}) {
        Plot plot;
        plot.title = PlotTitle(chart.type, "examples/sample.dat");
        plot.yLabel = PlotLabel(chart.type);
        for (const char* extension : {".png", ".svg", ".pdf"}) {
            std::string path = dir + "/" + chart.name + extension, error;
            PlotFormat format;
            if (!ParsePlotFormat(path, format, error) ||
                !WritePlot(SampleStretch(chart.type, 270, 330), plot, format, path, error)) {
                std::fprintf(stderr, "plot_bench: %s: %s\n", path.c_str(), error.c_str());
                return 1;
            }
            std::printf("%s\n", path.c_str());
        }
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--sample") return DrawSample(argv[2]);
    std::vector<long> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::atol(argv[i]));
    if (counts.empty()) counts = {1000000, 10000000};
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    std::printf("plots of an 800x500 picture, best of %d runs each\n", kRuns);
    for (long records : counts) Report(records, dir);
    return 0;
}

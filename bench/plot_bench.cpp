// plot_bench: times the report picture of a whole log of 1,000,000 and of 10,000,000 records
// against the extraction it follows, with peak memory; with --sample DIR it draws the sample
// log's braking pictures instead, for a look.
// Usage: plot_bench [RECORDS...]   (default 1000000 10000000; logs made with genlog in $TMPDIR)
//        plot_bench --sample DIR   (velocity, brake pressure, motor current, 270 to 330 s)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "globals.h"
#include "number.h"
#include "plot.h"
#include "records.h"
#include "session.h"
#include "tempfiles.h"

namespace {
constexpr int kRuns = 3;
constexpr int kColumn = 11;  // motor current: the noisiest column

// The records' times and samples, as czytaj and RecordTime read them.
std::vector<int> RecordFiles() {
    return {timeRecordsFd >= 0 ? timeRecordsFd : sampleRecordsFd, sampleRecordsFd};
}

// Records first .. last of the temporary files as a one-panel run.
Series Records(std::int64_t first, std::int64_t last) {
    return [first, last](const RowVisit& visit) {
        ForEachRow(RecordFiles(), {first, last}, [&](std::int64_t, const double* values) {
            visit({values[0], values + 1, true});
        });
    };
}

// Extracts `column` of the log and, unless format is null, plots all of it to `out`.
bool ExtractAndPlot(const std::string& log, int column, const Format* format,
                    const std::string& out) {
    std::string error;
    Session session(log, {ColumnChannel(column)});
    session.Open(false, &error);
    Plot plot;
    plot.title = PlotTitle({PlotLabel(ColumnChannel(column))}, log);
    plot.yLabels = {PlotLabel(ColumnChannel(column))};
    bool done =
        error.empty() && (!format || WritePlot({Records(1, iFc)}, plot, *format, out, &error));
    RemoveTempFile();
    if (!done) std::fprintf(stderr, "plot_bench: %s\n", error.c_str());
    return done;
}

struct Run {
    double seconds = 1e9;  // best wall time of kRuns
    double cpu = 1e9;      // best processor time (user + system) of kRuns: steadier when shared
    long peakKiB = 0;      // largest peak resident set of a run
};

double Seconds(const timeval& time) {
    return time.tv_sec + time.tv_usec / 1e6;
}

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
        run.seconds = std::min(
            run.seconds,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        run.cpu = std::min(run.cpu, Seconds(usage.ru_utime) + Seconds(usage.ru_stime));
        run.peakKiB = std::max(run.peakKiB, usage.ru_maxrss);
    }
    return run;
}

void Report(long records, const std::string& dir) {
    std::string log = dir + "/plovo-plot-bench.dat";
    std::string command = std::string(GENLOG) + " " + std::to_string(records) + " > " + log +
                          " && cat " + log + " > /dev/null";
    if (std::system(command.c_str()) != 0) std::exit(1);
    Run extraction = Measure([&] { return ExtractAndPlot(log, kColumn, nullptr, ""); });
    std::printf("%9ld records  extraction %6.3f s (cpu %6.3f s)  peak RSS %5.1f MB\n", records,
                extraction.seconds, extraction.cpu, extraction.peakKiB / 1024.0);
    const char* names[] = {"png", "svg", "pdf"};
    for (int i = 0; i < 3; ++i) {
        const Format format = i == 0 ? Format::kPng : i == 1 ? Format::kSvg : Format::kPdf;
        const char* name = names[i];
        std::string out = dir + "/plovo-plot-bench." + name;
        Run plot = Measure([&] { return ExtractAndPlot(log, kColumn, &format, out); });
        std::printf(
            "%9ld records  with %s    %6.3f s (cpu %6.3f s)  beyond extraction %6.3f s (cpu %6.3f "
            "s)  peak RSS %5.1f MB\n",
            records, name, plot.seconds, plot.cpu, plot.seconds - extraction.seconds,
            plot.cpu - extraction.cpu, plot.peakKiB / 1024.0);
        std::remove(out.c_str());
    }
    std::remove(log.c_str());
}

// The records from the first at or after `from` seconds up to, not including, the first later
// one after `to` seconds.
Series Between(double from, double to) {
    std::int64_t first = FirstRecordAt(from), last = iFc;
    if (first == 0) return [](const RowVisit&) {};
    bool found = false;
    ForEachRow(RecordFiles(), {first, iFc}, [&](std::int64_t record, const double* values) {
        if (!found && values[0] > to) last = record - 1, found = true;
    });
    return Records(first, last);
}

int DrawSample(const std::string& dir) {
    struct Chart {
        int type;
        const char* name;
    };
    for (Chart chart :
         {Chart{2, "velocity"}, Chart{9, "brake-pressure"}, Chart{11, "motor-current"}}) {
        std::string log = PLOVO_SOURCE_DIR "/examples/sample.dat", error;
        iFc = 0;
        Session session(log, {ColumnChannel(chart.type)});
        session.Open(false, &error);
        Plot plot;
        plot.title = PlotTitle({PlotLabel(ColumnChannel(chart.type))}, log);
        plot.yLabels = {PlotLabel(ColumnChannel(chart.type))};
        for (const char* extension : {".png", ".svg", ".pdf"}) {
            std::string path = dir + "/" + chart.name + extension;
            Format format;
            if (!error.empty() || !FormatOf(path, FormatUse::kPlot, &format, &error) ||
                !WritePlot({Between(270, 330)}, plot, format, path, &error)) {
                std::fprintf(stderr, "plot_bench: %s: %s\n", path.c_str(), error.c_str());
                RemoveTempFile();
                return 1;
            }
            std::printf("%s\n", path.c_str());
        }
        RemoveTempFile();
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
    std::printf("column %d of a genlog log, a plot of all of it at 800x500, best of %d runs\n",
                kColumn, kRuns);
    for (long records : counts) Report(records, dir);
    return 0;
}

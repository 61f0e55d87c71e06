// plovo_bench: times the column extraction against `wc -l` on the same log (in the page cache)
// and prints throughput, the ratio, and the extraction's peak memory for a small and a large log,
// for column 1 (one temporary file) and column 5 (with the time column beside it); then the whole
// plovo process: its start on the sample log and a snapshot of the large log, against `wc -l`.
// Usage: plovo_bench [LARGE_MB]   (default 256; logs are made with genlog in $TMPDIR or /tmp)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "globals.h"
#include "number.h"
#include "records.h"
#include "session.h"
#include "tempfiles.h"

namespace {
constexpr double kMiB = 1024.0 * 1024.0;
constexpr int kLineBytes = 11 * 24 + 1;  // one genlog line
constexpr int kRuns = 3;
constexpr int kProcessRuns = 21;        // runs of the whole process; the median is reported
constexpr double kProcessTarget = 1.7;  // the whole process against wc -l, at most
const std::string kSample = PLOVO_SOURCE_DIR "/examples/sample.dat";

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string MakeLog(const std::string& dir, double megabytes) {
    std::string path = dir + "/plovo-bench-" + std::to_string(static_cast<int>(megabytes)) + ".dat";
    long lines = static_cast<long>(megabytes * kMiB / kLineBytes);
    std::string command = std::string(GENLOG) + " " + std::to_string(lines) + " > " + path;
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "plovo_bench: cannot run '%s'\n", command.c_str());
        std::exit(1);
    }
    return path;
}

// Wall times of `runs` runs of a shell command, in seconds, sorted. With `mayFail`, a failing
// command (plovo's graphics failure) counts; else it ends the benchmark.
std::vector<double> TimeRuns(const std::string& command, int runs, bool mayFail = false) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0 && !mayFail) {
            std::fprintf(stderr, "plovo_bench: '%s' failed\n", command.c_str());
            std::exit(1);
        }
        times.push_back(Seconds(start));
    }
    std::sort(times.begin(), times.end());
    return times;
}

// Best of kRuns wall times of a shell command, in seconds.
double TimeCommand(const std::string& command) {
    return TimeRuns(command, kRuns).front();
}

double Median(const std::vector<double>& sorted) {
    return sorted[sorted.size() / 2];
}

struct Extraction {
    double seconds = 1e9;  // best of kRuns
    long peakKiB = 0;      // largest peak resident set of a run
    int records = 0;
};

// Extracts `column` in a child process, so that its peak memory is its own.
Extraction TimeExtraction(const std::string& log, int column) {
    Extraction result;
    for (int i = 0; i < kRuns; ++i) {
        int fds[2];
        if (pipe(fds) != 0) std::exit(1);
        pid_t child = fork();
        if (child == 0) {
            std::string error;
            auto start = std::chrono::steady_clock::now();
            Session session(log, {ColumnChannel(column)});
            session.Open(false, &error);
            double seconds = Seconds(start);
            RemoveTempFile();
            if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
            std::string report = std::to_string(seconds) + " " + std::to_string(iFc);
            ssize_t ignored = write(fds[1], report.c_str(), report.size());
            (void)ignored;
            _exit(error.empty() ? 0 : 1);
        }
        close(fds[1]);
        char report[64] = {};
        ssize_t got = read(fds[0], report, sizeof report - 1);
        close(fds[0]);
        int status;
        struct rusage usage;
        wait4(child, &status, 0, &usage);
        if (got <= 0 || status != 0) std::exit(1);
        double seconds = std::atof(report);
        result.records = std::atoi(std::strchr(report, ' ') + 1);
        result.seconds = std::min(result.seconds, seconds);
        result.peakKiB = std::max(result.peakKiB, usage.ru_maxrss);
    }
    return result;
}

void Report(const std::string& log) {
    std::ifstream in(log, std::ios::binary | std::ios::ate);
    double megabytes = static_cast<double>(in.tellg()) / kMiB;
    TimeCommand("cat '" + log + "' > /dev/null");  // into the page cache
    double wc = TimeCommand("wc -l < '" + log + "' > /dev/null");
    double single = 0.0;
    // Column 1 is the time column: one file, as a single column was before the time came
    // along. Column 5 also writes the time column, in the same pass.
    for (int column : {1, 5}) {
        Extraction extraction = TimeExtraction(log, column);
        if (column == 1) single = extraction.seconds;
        std::printf(
            "%8.1f MB  column %d  %9d records  wc -l %6.3f s  extraction %6.3f s  %7.0f MB/s  "
            "ratio %4.2fx  vs column 1 %4.2fx  peak RSS %6.1f MB\n",
            megabytes, column, extraction.records, wc, extraction.seconds,
            megabytes / extraction.seconds, extraction.seconds / wc, extraction.seconds / single,
            extraction.peakKiB / 1024.0);
    }
}

// The start of the whole process on the sample, where the start-up itself is most of the time.
void ReportStart(const std::string& picture) {
    std::printf("plovo's start on the sample log, median (max) of %d runs:\n", kProcessRuns);
    std::vector<double> failure = TimeRuns(
        "env -u DISPLAY " PLOVO_BINARY " '" + kSample + "' 2 > /dev/null 2>&1", kProcessRuns, true);
    std::printf("  graphics failure (no display)  %6.1f ms  (%6.1f ms)\n", Median(failure) * 1e3,
                failure.back() * 1e3);
    std::vector<double> snapshot = TimeRuns(
        PLOVO_BINARY " --snapshot '" + picture + "' '" + kSample + "' 2 > /dev/null", kProcessRuns);
    std::printf("  snapshot                       %6.1f ms  (%6.1f ms)\n", Median(snapshot) * 1e3,
                snapshot.back() * 1e3);
}

// The whole process on a large log, against wc -l: extraction and start-up, then the graphics
// failure (no display) or a picture.
void ReportProcess(const std::string& log, const std::string& picture) {
    TimeCommand("cat '" + log + "' > /dev/null");  // into the page cache
    const std::string commands[] = {
        "wc -l < '" + log + "' > /dev/null",
        "env -u DISPLAY " PLOVO_BINARY " '" + log + "' 2 > /dev/null 2>&1",
        PLOVO_BINARY " --snapshot '" + picture + "' '" + log + "' 2",
    };
    std::vector<double> times[3];
    // Interleaved, so that a busy moment of the machine weighs on all alike.
    for (int i = 0; i < kProcessRuns; ++i)
        for (int c = 0; c < 3; ++c) times[c].push_back(TimeRuns(commands[c], 1, c == 1).front());
    for (auto& runs : times) std::sort(runs.begin(), runs.end());
    double wc = Median(times[0]);
    std::printf("the whole process on the large log, median of %d runs (target %.1fx wc -l):\n",
                kProcessRuns, kProcessTarget);
    std::printf("  wc -l                          %6.3f s\n", wc);
    const char* names[] = {"graphics failure (no display)", "snapshot"};
    for (int c = 1; c < 3; ++c)
        std::printf("  %-30s %6.3f s  ratio %4.2fx\n", names[c - 1], Median(times[c]),
                    Median(times[c]) / wc);
}
}  // namespace

int main(int argc, char** argv) {
    double largeMegabytes = argc > 1 ? std::atof(argv[1]) : 256;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    std::printf("extraction vs wc -l, best of %d runs each\n", kRuns);
    std::string log;
    for (double megabytes : {1.0, largeMegabytes}) {
        if (!log.empty()) std::remove(log.c_str());
        log = MakeLog(dir, megabytes);
        Report(log);
    }
    std::string picture = dir + "/plovo-bench.png";
    ReportStart(picture);
    ReportProcess(log, picture);
    std::remove(log.c_str());
    std::remove(picture.c_str());
    return 0;
}

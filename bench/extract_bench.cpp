// plovo_bench: times the column extraction against `wc -l` on the same log (in the page cache)
// and prints throughput, the ratio, and the extraction's peak memory for a small and a large log,
// for column 1 (one temporary file) and column 5 (with the time column beside it).
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

#include "globals.h"
#include "logdata.h"
#include "platform.h"

namespace {
constexpr double kMiB = 1024.0 * 1024.0;
constexpr int kLineBytes = 11 * 24 + 1;  // one genlog line
constexpr int kRuns = 3;

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

// Best of kRuns wall times of a shell command, in seconds.
double TimeCommand(const std::string& command) {
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) std::exit(1);
        best = std::min(best, Seconds(start));
    }
    return best;
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
            MakeTempFile(log.c_str(), column, error);
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
}  // namespace

int main(int argc, char** argv) {
    double largeMegabytes = argc > 1 ? std::atof(argv[1]) : 256;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    std::printf("extraction vs wc -l, best of %d runs each\n", kRuns);
    for (double megabytes : {1.0, largeMegabytes}) {
        std::string log = MakeLog(dir, megabytes);
        Report(log);
        std::remove(log.c_str());
    }
    return 0;
}

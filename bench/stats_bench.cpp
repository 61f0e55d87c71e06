// stats_bench: times `plovo --stats` as a whole process on a genlog log, in interleaved runs: of
// velocity, of the derived distance and traction energy, and of velocity's last 60 s with --at
// and --to, against the whole-log --stats of velocity; with median wall and processor times,
// peak memory, and the machine's load before and after.
// Usage: stats_bench [RECORDS [RUNS]]   (default 1000000 records, 265 MB, and 21 runs; the log is
//        made with genlog in $TMPDIR or /tmp and removed at the end, or on Ctrl+C)
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "process_timing.h"

namespace {
constexpr double kStep = 0.1;            // s between genlog's samples
constexpr double kDerivedTarget = 1.25;  // a derived channel's --stats against velocity's
constexpr double kStretchTarget = 1.05;  // the last 60 s against the whole log

char logPath[4096];  // removed by the signal handler too

void RemoveLogAndExit(int signal) {
    unlink(logPath);
    _exit(signal == 0 ? 1 : 128 + signal);  // 0: a failure
}

// Runs plovo with `args`, its output to /dev/null, and measures it; a failure ends the bench.
Sample RunPlovo(const std::vector<std::string>& args) {
    std::vector<std::string> command = {PLOVO_BINARY};
    command.insert(command.end(), args.begin(), args.end());
    Sample sample;
    if (!TimeProcess(command, &sample)) {
        std::fprintf(stderr, "stats_bench: plovo %s failed\n", args[0].c_str());
        RemoveLogAndExit(0);
    }
    return sample;
}

struct Case {
    Case(const char* name, std::vector<std::string> args) : name(name), args(std::move(args)) {}
    const char* name;
    std::vector<std::string> args;
    std::vector<double> wall, cpu;  // seconds, run by run
    long peakKiB = 0;
};
}  // namespace

int main(int argc, char** argv) {
    long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    int runs = argc > 2 ? std::atoi(argv[2]) : 21;
    if (records < 1000 || runs < 1) {
        std::fprintf(stderr, "Usage: stats_bench [RECORDS (1000 or more) [RUNS]]\n");
        return 2;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::snprintf(logPath, sizeof logPath, "%s/plovo-stats-bench-XXXXXX.dat",
                  tmp && *tmp ? tmp : "/tmp");
    signal(SIGINT, RemoveLogAndExit);
    signal(SIGTERM, RemoveLogAndExit);
    int fd = mkstemps(logPath, 4);
    if (fd < 0) return 1;
    close(fd);
    std::string make = std::string(GENLOG) + " " + std::to_string(records) + " > " + logPath;
    std::string warm = std::string("cat ") + logPath + " > /dev/null";  // into the page cache
    if (std::system(make.c_str()) != 0 || std::system(warm.c_str()) != 0) RemoveLogAndExit(0);
    // On disk before the runs, so that writing back the new log does not weigh on some of them.
    int written = open(logPath, O_RDONLY);
    if (written < 0 || fsync(written) != 0) RemoveLogAndExit(0);
    close(written);

    const std::string log = logPath;
    const std::string last = std::to_string((records - 1) * kStep);
    const std::string from = std::to_string((records - 1) * kStep - 60);
    std::vector<Case> cases = {
        {"velocity", {"--stats", log, "velocity"}},
        {"distance", {"--stats", log, "distance"}},
        {"traction-energy", {"--stats", log, "traction-energy"}},
        {"velocity, last 60 s", {"--stats", "--at", from, "--to", last, log, "velocity"}},
    };
    std::printf("plovo --stats on %ld records, median of %d interleaved runs; load %s\n", records,
                runs, LoadAverage().c_str());
    for (Case& c : cases) RunPlovo(c.args);  // a first round, not counted
    // Interleaved, so that a busy moment of the machine weighs on every case alike.
    for (int i = 0; i < runs; ++i)
        for (Case& c : cases) {
            Sample sample = RunPlovo(c.args);
            c.wall.push_back(sample.wall);
            c.cpu.push_back(sample.cpu);
            c.peakKiB = std::max(c.peakKiB, sample.peakKiB);
        }
    double wall = Median(cases[0].wall), cpu = Median(cases[0].cpu);
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const Case& c = cases[k];
        double target = k == 0 ? 0.0 : k == 3 ? kStretchTarget : kDerivedTarget;
        std::printf("  %-20s %6.3f s wall %5.2fx   %6.3f s cpu %5.2fx   peak RSS %5.1f MB", c.name,
                    Median(c.wall), Median(c.wall) / wall, Median(c.cpu), Median(c.cpu) / cpu,
                    c.peakKiB / 1024.0);
        if (target > 0) std::printf("   (target %.2fx)", target);
        std::printf("\n");
    }
    std::printf("load after: %s\n", LoadAverage().c_str());
    unlink(logPath);
    return 0;
}

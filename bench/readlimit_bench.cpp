// readlimit_bench: each pass over a log that a user waits for, as a whole plovo process, against
// `wc -l` on the same files run just before it, round after round: --stats, the summary and
// brakings tables of one large log and of eight, a three-column export and a snapshot. Prints the
// medians of wall and processor time, their ratios to wc's beside the budgets, the peak memory,
// the machine's load, and the start on the sample; with --before, an earlier plovo binary runs
// in the same rounds, so that the two are compared under the same load.
// Usage: readlimit_bench [--before PLOVO] [RECORDS [ROUNDS]]
//        (default 1000000 records, 265 MB, for the small logs and four times as many for the
//        large one, and 7 rounds; the logs are made with genlog in a folder of $TMPDIR or /tmp,
//        removed at the end or on Ctrl+C)
#include <fcntl.h>
#include <signal.h>
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
#include <utility>
#include <vector>

#include "process_timing.h"

namespace {
constexpr int kSmallLogs = 8;           // logs of the many-logs table
constexpr double kMemoryBudget = 32.0;  // MiB of peak resident memory, whatever the log
constexpr int kStartRuns = 21;

char folder[4096];  // removed by the signal handler too

void RemoveFolder() {
    if (folder[0] == '\0') return;
    std::string command = std::string("rm -rf '") + folder + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", folder);
}

void Stop(int signal) {
    RemoveFolder();
    _exit(128 + signal);
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "readlimit_bench: %s\n", what.c_str());
    RemoveFolder();
    std::exit(1);
}

// Runs `args` and measures it; a failure ends the bench.
Sample Run(const std::vector<std::string>& args) {
    // What an earlier run wrote (a table, an export, a picture, all synced) goes to disk now, not
    // while this one writes its records.
    sync();
    Sample sample;
    if (!TimeProcess(args, &sample)) Fail("'" + args[0] + " " + args[1] + "' failed");
    return sample;
}

// Samples of one command, round by round.
struct Series {
    std::vector<double> wall, cpu;
    long peakKiB = 0;
    void Add(const Sample& sample) {
        wall.push_back(sample.wall);
        cpu.push_back(sample.cpu);
        peakKiB = std::max(peakKiB, sample.peakKiB);
    }
};

struct Case {
    Case(std::string name, std::vector<std::string> logs, std::vector<std::string> args,
         double wallBudget, double cpuBudget)
        : name(std::move(name)),
          logs(std::move(logs)),
          args(std::move(args)),
          wallBudget(wallBudget),
          cpuBudget(cpuBudget) {}
    std::string name;
    std::vector<std::string> logs;  // wc -l reads these
    std::vector<std::string> args;  // plovo's, after the binary
    double wallBudget, cpuBudget;   // against wc -l; 0: none
    Series wc, plovo, before;
};

std::string MakeLog(long records, const std::string& name) {
    std::string path = std::string(folder) + "/" + name;
    std::string make = std::string(GENLOG) + " " + std::to_string(records) + " > " + path;
    if (std::system(make.c_str()) != 0) Fail("cannot run " + make);
    return path;
}

void PrintRow(const char* who, const Series& s, const Series& wc, const Case& c) {
    double wall = Median(s.wall), cpu = Median(s.cpu);
    double wallRatio = wall / Median(wc.wall), cpuRatio = cpu / Median(wc.cpu);
    std::printf("  %-7s %7.3f s %5.2fx", who, wall, wallRatio);
    if (c.wallBudget > 0)
        std::printf(" (%.1fx %s)", c.wallBudget, wallRatio <= c.wallBudget ? "met" : "MISSED");
    std::printf("   cpu %7.3f s %5.2fx", cpu, cpuRatio);
    if (c.cpuBudget > 0)
        std::printf(" (%.1fx %s)", c.cpuBudget, cpuRatio <= c.cpuBudget ? "met" : "MISSED");
    double mib = s.peakKiB / 1024.0;
    std::printf("   peak RSS %5.1f MiB%s\n", mib, mib <= kMemoryBudget ? "" : " (MISSED)");
}
}  // namespace

int main(int argc, char** argv) {
    std::string before;
    int arg = 1;
    if (argc > 2 && std::strcmp(argv[1], "--before") == 0) {
        before = argv[2];
        arg = 3;
    }
    long records = argc > arg ? std::atol(argv[arg]) : 1000000;
    int rounds = argc > arg + 1 ? std::atoi(argv[arg + 1]) : 7;
    if (records < 10000 || rounds < 1) {
        std::fprintf(stderr, "Usage: readlimit_bench [--before PLOVO] [RECORDS [ROUNDS]]\n");
        return 2;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::snprintf(folder, sizeof folder, "%s/plovo-readlimit-XXXXXX", tmp && *tmp ? tmp : "/tmp");
    signal(SIGINT, Stop);
    signal(SIGTERM, Stop);
    if (mkdtemp(folder) == nullptr) return 1;

    const std::string small = MakeLog(records, "run1.dat");
    const std::string large = MakeLog(4 * records, "large.dat");
    std::vector<std::string> smalls = {small};
    for (int i = 2; i <= kSmallLogs; ++i) {
        smalls.push_back(std::string(folder) + "/run" + std::to_string(i) + ".dat");
        if (std::system(("cp " + small + " " + smalls.back()).c_str()) != 0) Fail("cannot copy");
    }
    // In the page cache, and on disk, so that writing them back weighs on no run.
    if (std::system((std::string("cat ") + folder + "/*.dat > /dev/null; sync").c_str()) != 0)
        Fail("cannot read the logs");
    const std::string out = std::string(folder) + "/out";
    std::vector<std::string> tables = {"--summary", "-", "--brakings", out + ".csv"};
    std::vector<std::string> many = tables;
    many.insert(many.end(), smalls.begin(), smalls.end());
    std::vector<Case> cases = {
        {"--stats velocity, 265 MB", {small}, {"--stats", small, "velocity"}, 1.0, 1.5},
        {"--stats distance, 265 MB", {small}, {"--stats", small, "distance"}, 1.0, 1.5},
        {"--stats velocity, 1 GB", {large}, {"--stats", large, "velocity"}, 1.0, 1.5},
        {"--stats distance, 1 GB", {large}, {"--stats", large, "distance"}, 1.0, 1.5},
        {"--summary - --brakings FILE, one 1 GB log", {large}, tables, 1.0, 1.5},
        {"--summary - --brakings FILE, eight 265 MB logs", smalls, many, 0.8, 1.5},
        {"--export of three chart types, 265 MB",
         {small},
         {"--export", out + ".csv", small, "velocity,traction-force,brake-pressure"},
         2.0,
         0},
        {"--snapshot, 1 GB", {large}, {"--snapshot", out + ".png", large}, 1.2, 0},
    };
    cases[4].args.push_back(large);
    std::printf(
        "logs of %ld and %ld records (265 bytes a line); medians of %d rounds, each "
        "command right after wc -l on its files\nload before: %s\n",
        records, 4 * records, rounds, LoadAverage().c_str());
    auto plovo = [](const std::string& binary, const Case& c) {
        std::vector<std::string> args = {binary};
        args.insert(args.end(), c.args.begin(), c.args.end());
        return Run(args);
    };
    auto wc = [](const Case& c) {
        std::vector<std::string> args = {"/usr/bin/wc", "-l"};
        args.insert(args.end(), c.logs.begin(), c.logs.end());
        return Run(args);
    };
    for (Case& c : cases) plovo(PLOVO_BINARY, c);  // a first round, not counted
    for (int round = 0; round < rounds; ++round)
        for (Case& c : cases) {
            c.wc.Add(wc(c));
            // The two binaries take turns at running first.
            bool beforeFirst = !before.empty() && round % 2 == 1;
            if (beforeFirst) c.before.Add(plovo(before, c));
            c.plovo.Add(plovo(PLOVO_BINARY, c));
            if (!before.empty() && !beforeFirst) c.before.Add(plovo(before, c));
        }
    for (const Case& c : cases) {
        std::printf("%s: wc -l %.3f s, cpu %.3f s\n", c.name.c_str(), Median(c.wc.wall),
                    Median(c.wc.cpu));
        if (!before.empty()) PrintRow("before", c.before, c.wc, c);
        PrintRow("plovo", c.plovo, c.wc, c);
    }
    // The start: --stats of the sample, 4000 records, which no worker reads.
    const std::string sample = PLOVO_SOURCE_DIR "/examples/sample.dat";
    Series start, startBefore;
    for (int i = 0; i < kStartRuns; ++i) {
        start.Add(Run({PLOVO_BINARY, "--stats", sample}));
        if (!before.empty()) startBefore.Add(Run({before, "--stats", sample}));
    }
    std::printf("start, --stats of the sample: %.1f ms (cpu %.1f ms)", Median(start.wall) * 1e3,
                Median(start.cpu) * 1e3);
    if (!before.empty())
        std::printf("; before %.1f ms (cpu %.1f ms)", Median(startBefore.wall) * 1e3,
                    Median(startBefore.cpu) * 1e3);
    std::printf("\nload after: %s\n", LoadAverage().c_str());
    RemoveFolder();
    return 0;
}

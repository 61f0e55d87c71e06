// Timing a whole process for the benches: wall and processor time, peak memory, medians, load.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

struct Sample {
    double wall = 0.0, cpu = 0.0;  // seconds
    long peakKiB = 0;
};

inline std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five;
    in >> one >> five;
    return one + " (1 min), " + five + " (5 min)";
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs `args` (the program's path first) with standard output to /dev/null and measures it;
// false when it could not run or did not exit 0.
inline bool TimeProcess(const std::vector<std::string>& args, Sample* sample) {
    std::fflush(stdout);  // or the child would print what is buffered again
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return false;
    auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    sample->wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sample->cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    sample->peakKiB = usage.ru_maxrss;
    return true;
}

// Running the real plovo binary as a process: its console output, standard error, exit status,
// and that it leaves nothing in $TMPDIR; a silent X server; logs of varied runs and their tables
// recomputed.
#pragma once
#include <allegro.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <functional>
#include <random>

#include "channels.h"
#include "chart.h"
#include "charttypes.h"
#include "kolejka.h"
#include "number.h"
#include "options.h"
#include "output.h"
#include "picture.h"
#include "progress.h"
#include "records.h"
#include "test_util.h"
#include "text.h"
#include "viewer.h"

struct Outcome {
    std::string output;  // standard output
    int status = -1;     // exit status
    std::string errors;  // standard error, unless the test took it (errorOutput)
};

// An X server of our own on a display number of its own: it accepts connections, and says
// nothing unless told to refuse them.
class FakeDisplay {
  public:
    FakeDisplay() {
        if (mkdir("/tmp/.X11-unix", 01777) == 0) chmod("/tmp/.X11-unix", 01777);  // as X does
        int number = 700 + getpid() % 200;
        name = ":" + std::to_string(number);
        path = "/tmp/.X11-unix/X" + std::to_string(number);
        unlink(path.c_str());
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(listener, 8), 0);
    }
    ~FakeDisplay() {
        close(listener);
        unlink(path.c_str());
    }
    // Refuses every connection, with `reason`, or closes it unanswered when `reason` is empty,
    // until `pid` has ended.
    void Refuse(pid_t pid, const std::string& reason) {
        siginfo_t info = {};
        while (info.si_pid == 0) {
            pollfd ready = {listener, POLLIN, 0};
            int client = -1;
            if (poll(&ready, 1, 20) == 1)
                client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0 && !reason.empty()) {
                char request[256];
                EXPECT_GT(read(client, request, sizeof request), 0);  // the setup request
                // Failed, the reason's length, protocol 11.0, then the padded reason.
                std::string reply = {0, static_cast<char>(reason.size()),           11, 0, 0,
                                     0, static_cast<char>((reason.size() + 3) / 4), 0};
                reply += reason + std::string(3 - (reason.size() + 3) % 4, '\0');
                EXPECT_EQ(write(client, reply.data(), reply.size()), ssize_t(reply.size()));
            }
            if (client >= 0) close(client);
            waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT);
        }
    }
    std::string name;  // as DISPLAY names it
    std::string path;
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
};

class Process : public ::testing::Test {
  public:  // for the helpers of the tests too
    // Runs plovo with argv[0] = work/plovo, so that it looks for work/plovo.ini, with
    // standard input from /dev/null, no display (unless `env` names one) and `during` called
    // while it runs. `wrapper` (prlimit, say) runs plovo when given.
    Outcome Run(std::vector<std::string> args, std::vector<std::string> env = {},
                std::function<void(pid_t)> during = nullptr,
                std::vector<std::string> wrapper = {}) {
        args.insert(args.begin(), wrapper.empty() ? work.File("plovo") : PLOVO_BINARY);
        args.insert(args.begin(), wrapper.begin(), wrapper.end());
        env.push_back("TMPDIR=" + tmp.path);
        int pipeFds[2];
        EXPECT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
        std::vector<std::string> replaced = {"DISPLAY"};
        for (const std::string& entry : env) replaced.push_back(entry.substr(0, entry.find('=')));
        std::string errorsPath = errorsDir.File("stderr");
        int errors = errorOutput >= 0
                         ? -1
                         : open(errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        pid_t pid =
            Spawn(wrapper.empty() ? PLOVO_BINARY : wrapper[0], args, Environment(replaced, env),
                  pipeFds[1], -1, errorOutput >= 0 ? errorOutput : errors);
        if (errors >= 0) close(errors);
        EXPECT_GT(pid, 0);
        close(pipeFds[1]);
        if (during) during(pid);

        Outcome outcome;
        char buffer[4096];
        ssize_t got;
        while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0)
            outcome.output.append(buffer, got);
        close(pipeFds[0]);
        int status;
        waitpid(pid, &status, 0);
        outcome.status = ExitStatus(status);
        if (errors >= 0) outcome.errors = ReadFile(errorsPath);
        EXPECT_TRUE(tmp.Entries().empty()) << "temporary file left behind";
        return outcome;
    }
    // Waits until plovo has created its temporary file.
    void AwaitTempFile() {
        for (int i = 0; i < 500 && tmp.Entries().empty(); ++i) usleep(10000);
        ASSERT_FALSE(tmp.Entries().empty());
    }
    void WriteIni(const std::string& keys) {
        WriteFile(work.File("plovo.ini"), "[display]\n" + keys);
    }
    std::string Log(int lines) {
        std::string body;
        for (int i = 0; i < lines; ++i) body += Line({std::to_string(i), "1.5", "-2"});
        WriteFile(work.File("log.dat"), Header() + body);
        return work.File("log.dat");
    }

    ScratchDir work;
    ScratchDir tmp;
    ScratchDir errorsDir;  // where standard error is kept for Outcome::errors
    int errorOutput = -1;  // plovo's standard error when >= 0
    const std::string usage = "plovo <file>.dat chart_type\nDetails: ReadMe.txt\n";
    const std::string iniError = "IniFile error!!! Loading default settings...\n";
};

// Appends what a terminal shows to `shown` until it holds `until` (for "": until the terminal
// has nothing more for 5 s, or is closed).
inline void ReadTerminal(int terminal, const std::string& until, std::string* shown) {
    char buffer[256];
    pollfd wait = {terminal, POLLIN, 0};
    ssize_t got;
    while ((until.empty() || shown->find(until) == std::string::npos) &&
           poll(&wait, 1, 5000) == 1 && (got = read(terminal, buffer, sizeof buffer)) > 0)
        shown->append(buffer, static_cast<std::size_t>(got));
}

using Fields = std::vector<std::string>;  // a line's columns 1 to 11 as written

// A varied run of `records` lines 0.5 s apart: speeding up to 15 m/s and braking to a stop,
// again and again from a phase `seed` sets, with NaN fields and a brake pressure of exactly
// brake_on here and there.
inline std::vector<Fields> VariedRun(int seed, int records) {
    std::vector<Fields> lines;
    for (int i = 0; i < records; ++i) {
        int phase = (i + 7 * seed) % 40;
        bool braking = phase > 20;
        double v = braking ? std::max(0.0, 15 - 0.8 * (phase - 20)) : 0.75 * phase;
        double p = braking ? 0.05 + 0.01 * (i % 7) : 0.01 * (i % 3);
        double a = braking ? -1.6 + 0.01 * (i % 5) : 1.5;
        double c = i * 37 % 200 - 100.5;
        const double nan = std::nan("");
        if (i % 53 == seed) p = nan;
        if (i % 61 == seed + 1) v = nan;
        if (i % 67 == seed + 2) a = nan;
        if (i % 71 == seed + 3) c = nan;
        lines.push_back({ExactText(0.5 * i), ExactText(v), ExactText(a), "0.6", ExactText(c),
                         braking ? "0" : "150", "4", "8", ExactText(p), "0.5",
                         ExactText(i * 13 % 50 + 0.25)});
    }
    return lines;
}

// Appends the two tables' rows of a run, recomputed the plain way: every column read whole, the
// brake applications found first, then each one's figures.
inline void Recompute(const std::string& log, const std::vector<Fields>& lines,
                      std::string* summary, std::string* brakings) {
    const std::size_t n = lines.size();
    auto column = [&](int c, double sign = 1) {
        std::vector<double> values;
        for (const Fields& line : lines) values.push_back(sign * std::atof(line[c - 1].c_str()));
        return values;
    };
    std::vector<double> t = column(1), v = column(2), deceleration = column(3, -1), c = column(5),
                        f = column(6), p = column(9), current = column(11);
    auto text = [](bool exists, double x) { return exists ? ExactText(x) : ""; };
    // The first finite extreme and its time, or two empty fields, appended to a row.
    auto extreme = [&](const std::vector<double>& x, std::size_t from, std::size_t to, bool largest,
                       Fields* row) {
        std::size_t at = n;
        for (std::size_t k = from; k <= to && k < n; ++k)
            if (std::isfinite(x[k]) && (at == n || (largest ? x[k] > x[at] : x[k] < x[at]))) at = k;
        row->push_back(at == n ? "" : ExactText(x[at]));
        row->push_back(at == n ? "" : ExactText(t[at]));
    };
    double distance = 0, energy = 0;
    std::vector<double> along(n, 0.0);  // the distance run up to each record
    for (std::size_t k = 1; k < n; ++k) {
        distance += TrapezoidStep(t[k - 1], v[k - 1], t[k], v[k]);
        energy += TrapezoidStep(t[k - 1], f[k - 1] * v[k - 1], t[k], f[k] * v[k]) / 3600;
        along[k] = distance;
    }
    double longest = 0;
    std::size_t longestBraking = 0;
    std::vector<std::pair<std::size_t, std::size_t>> spans;  // first and last record
    for (std::size_t k = 0; k < n; ++k) {
        bool on = !spans.empty() && spans.back().second == n - 1;
        if (!std::isfinite(p[k]) || (p[k] >= 0.05) == on) continue;
        if (on) spans.back().second = k - 1;
        if (!on) spans.push_back({k, n - 1});
    }
    int stops = 0;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        auto [s, e] = spans[i];
        std::size_t r = s;  // the stop, or the last record
        while (r < e && !(std::isfinite(v[r]) && v[r] <= 0.1)) ++r;
        bool stopped = std::isfinite(v[r]) && v[r] <= 0.1;
        stops += stopped;
        double braked = 0;
        for (std::size_t k = s + 1; k <= r; ++k)
            braked += TrapezoidStep(t[k - 1], v[k - 1], t[k], v[k]);
        Fields row = {log, std::to_string(i + 1), ExactText(t[s]), ExactText(v[s]), ExactText(t[e]),
                      stopped ? "true" : "false", text(stopped, t[r]),
                      // The times have one decimal at most: so has their difference.
                      text(stopped, std::round((t[r] - t[s]) * 10) / 10), ExactText(braked),
                      text(t[r] != t[s], (v[s] - v[r]) / (t[r] - t[s]))};
        extreme(deceleration, s, r, true, &row);
        extreme(p, s, e, true, &row);
        row.pop_back();  // the highest pressure's time
        row.insert(row.end(), {ExactText(along[s]), text(stopped, along[r])});
        AppendCsvRow(row, brakings);
        if (longestBraking == 0 || braked > longest) longest = braked, longestBraking = i + 1;
    }
    Fields row = {log, std::to_string(n), n ? ExactText(t[0]) : "", n ? ExactText(t[n - 1]) : ""};
    extreme(v, 0, n, true, &row);
    row.insert(row.end(), {text(n, distance), text(n, energy)});
    extreme(c, 0, n, true, &row);
    extreme(c, 0, n, false, &row);
    extreme(current, 0, n, true, &row);
    row.insert(row.end(), {std::to_string(spans.size()), std::to_string(stops)});
    double span = n > 1 ? t[n - 1] - t[0] : 0;
    row.insert(
        row.end(),
        {text(span > 0, distance / span), text(n && distance > 0, energy / (distance / 1000)),
         text(longestBraking, longest), longestBraking ? std::to_string(longestBraking) : ""});
    AppendCsvRow(row, summary);
}

class Tables : public Process {
  protected:
    // Runs plovo with its standard error kept in `errors`.
    Outcome RunTables(std::vector<std::string> args, std::vector<std::string> wrapper = {},
                      std::function<void(pid_t)> during = nullptr) {
        std::string path = work.File("stderr.txt");
        errorOutput = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        Outcome outcome = Run(std::move(args), {}, std::move(during), std::move(wrapper));
        close(errorOutput);
        errorOutput = -1;
        errors = ReadFile(path);
        std::filesystem::remove(path);
        return outcome;
    }
    // Writes the varied run of `seed` as the log `name` and notes its recomputed rows.
    std::string VariedLog(const std::string& name, int seed, int records) {
        std::vector<Fields> lines = VariedRun(seed, records);
        std::string log = Header();
        for (const Fields& line : lines) log += Line(line);
        WriteFile(work.File(name), log);
        Recompute(work.File(name), lines, &summary, &brakings);
        return work.File(name);
    }
    // What the siblings of outputs would leave in the work folder.
    bool SiblingLeft() const {
        for (const std::string& name : work.Entries())
            if (name.rfind(".plovo-", 0) == 0) return true;
        return false;
    }
    std::string errors;
    std::string summary, brakings;  // the rows expected so far
    const std::string summaryHeader =
        "log,samples,start_s,end_s,max_speed_mps,max_speed_at_s,distance_m,traction_energy_kwh,"
        "max_coupler_tension_n,max_coupler_tension_at_s,max_coupler_compression_n,"
        "max_coupler_compression_at_s,max_motor_current_a,max_motor_current_at_s,brakings,stops,"
        "mean_speed_mps,traction_energy_kwh_per_km,max_braking_distance_m,"
        "max_braking_distance_braking\n";
    const std::string brakingsHeader =
        "log,braking,start_s,start_speed_mps,end_s,stopped,stop_s,time_to_stop_s,"
        "braking_distance_m,mean_deceleration_mps2,max_deceleration_mps2,max_deceleration_at_s,"
        "max_brake_pressure_mpa,start_distance_m,stop_distance_m\n";
};

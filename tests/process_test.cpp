// The real plovo binary run as a process: its console output, exit status, and that it leaves
// nothing in $TMPDIR.
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

namespace {
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
  protected:
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
}  // namespace

TEST_F(Process, NoLogNamedPrintsOnlyTheUsage) {
    Outcome outcome = Run({});  // no plovo.ini either: still no INI message
    EXPECT_EQ(outcome.output, usage);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(Run({"--start", "5"}).output, usage);  // options alone name no log
    Outcome help = Run({"-h"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("11  motor-current     MotorCurrent [A]"), std::string::npos);
    EXPECT_NE(help.output.find("\n      traction-energy   TractionEnergy [kWh]\n"),
              std::string::npos);
}

TEST_F(Process, UnopenableLogIsAClearError) {
    WriteIni("");
    Outcome missing = Run({work.File("none.dat")});
    EXPECT_EQ(missing.output, "plovo: cannot open log '" + work.File("none.dat") +
                                  "': No such file or directory\n");
    EXPECT_EQ(missing.status, 1);

    Outcome directory = Run({work.path, "3"});
    EXPECT_EQ(directory.output, "plovo: cannot open log '" + work.path + "': Is a directory\n");
    EXPECT_EQ(directory.status, 1);
}

TEST_F(Process, BadChartTypeIsRefusedBeforeExtraction) {
    std::string log = Log(3);
    Outcome text = Run({log, "abc"});
    EXPECT_EQ(text.output, iniError +
                               "plovo: unknown chart type 'abc': expected a number or one of "
                               "time, velocity, acceleration, coupler-distance, coupler-force, "
                               "traction-force, friction-force, brake-force, brake-pressure, "
                               "pipe-pressure, motor-current, distance, traction-power, "
                               "traction-energy\n" +
                               usage);
    EXPECT_EQ(
        Run({log, "brake"}).output,
        iniError + "plovo: chart type 'brake' is ambiguous: brake-force, brake-pressure\n" + usage);
    EXPECT_EQ(text.status, 1);

    WriteIni("default = -3\n");
    Outcome fromIni = Run({log});
    EXPECT_EQ(fromIni.output, "plovo: chart type -3 from display:default in '" +
                                  work.File("plovo.ini") +
                                  "' is out of range: expected 1 or more (1 to 11 name the "
                                  "log's columns)\n" +
                                  usage);
    EXPECT_EQ(fromIni.status, 1);

    // A fourth argument hides the third: the INI's type applies and is refused.
    EXPECT_EQ(Run({log, "5", "x"}).output, fromIni.output);
}

TEST_F(Process, BadSizeIsRefusedBeforeExtraction) {
    WriteIni("width = 0\n");
    Outcome outcome = Run({Log(3), "2"});
    EXPECT_EQ(outcome.output, "plovo: display:width 0 in '" + work.File("plovo.ini") +
                                  "' is out of range: expected 1 to 16384\n" + usage);
    EXPECT_EQ(outcome.status, 1);
}

TEST_F(Process, NoDisplayIsTheGraphicsFailureAndLeavesNothing) {
    WriteIni("");
    Outcome outcome = Run({Log(700), "2"});
    EXPECT_EQ(outcome.output, "GFX init failure! Abnormal termination!\n");
    EXPECT_EQ(outcome.status, 1);

    // Nor when that line meets a closed pipe.
    Outcome closed =
        Run({Log(700), "2"}, {}, [](pid_t) {}, {"sh", "-c", "exec \"$@\" | true", "sh"});
    EXPECT_EQ(closed.status, 0);  // the pipeline's status: true's
}

TEST_F(Process, SnapshotIsTheViewersFrameWithoutADisplay) {
    WriteIni("width = 120\nheight = 90\n");
    std::string picture = work.File("view.png");
    WriteFile(picture, "old");
    Outcome outcome = Run({"--snapshot", picture, "--start", "650", Log(700), "2"});
    EXPECT_EQ(outcome.output, "");
    EXPECT_EQ(outcome.status, 0);

    // The same state, drawn here by the viewer's own functions.
    UseMemoryBitmaps();
    ResetGlobals();
    setenv("TMPDIR", work.path.c_str(), 1);
    iscrWidth = 120;
    iscrHeight = 90;
    std::string error;
    SetScale(MakeTempFile(work.File("log.dat").c_str(), 2, &error));
    kolejka window(iscrWidth);
    TypeOfChart(2);
    FillWindowAt(window, 650);
    EXPECT_EQ(isFp, 700 - 120 + 1);
    Viewer viewer(window);
    BITMAP* expected = create_bitmap(iscrWidth, iscrHeight);
    ASSERT_TRUE(ShowFirstFrame(viewer, expected) && ViewerPass(viewer, {}, expected));
    EXPECT_EQ(PngColours(picture), Colours(expected));
    destroy_bitmap(expected);
    DestroyCanvases(viewer.canvases);
    RemoveTempFile();
    unsetenv("TMPDIR");

    // Sample 650 is the first whose time (column 1) is 649 or more.
    std::string byTime = work.File("at.png");
    EXPECT_EQ(Run({"--snapshot", byTime, "--at", "648.5", work.File("log.dat"), "2"}).status, 0);
    EXPECT_EQ(ReadFile(byTime), ReadFile(picture));
}

TEST_F(Process, StatsGiveTheExactFiguresOfTheRun) {
    WriteIni("");
    std::string body;
    for (auto [time, sample] : std::vector<std::pair<const char*, const char*>>{{"0", "1.5"},
                                                                                {"0.1", "nan"},
                                                                                {"0.2", "inf"},
                                                                                {"0.3", "-2.25"},
                                                                                {"0.4", "7"},
                                                                                {"1e-7", "7"}})
        body += Line({time, sample});
    WriteFile(work.File("run.dat"), Header() + body);
    Outcome stats = Run({"--stats", work.File("run.dat"), "velocity"});
    const std::string head = "log: " + work.File("run.dat") +
                             "\nchart: 2 Velocity [m/s]\nsamples: 6\ntime: 0 to 1e-07 s\n";
    // The only step the integral takes is 0.3 s to 0.4 s; the mean is over 0 s to 1e-07 s.
    EXPECT_EQ(stats.output, head +
                                "min: -2.25 at sample 4 (0.3 s)\nmax: 7 at sample 5 (0.4 s)\n"
                                "first: 1.5 at sample 1 (0 s)\nlast: 7 at sample 6 (1e-07 s)\n"
                                "change: 5.5\nintegral: 0.23750000000000007\n"
                                "mean: 2375000.000000001\n");
    EXPECT_EQ(stats.status, 0);
    // --at alone still describes the whole log.
    EXPECT_EQ(Run({"--at", "0.2", "--stats", work.File("run.dat")}).output, stats.output);

    // One extraction, every output: the figures of the report plot's stretch, 0.1 s to 0.3 s.
    std::string plot = work.File("braking.svg");
    Outcome both =
        Run({"--plot", plot, "--at", "0.1", "--to", "0.3", "--stats", work.File("run.dat")});
    EXPECT_EQ(both.output.substr(head.size(), 52),
              "stretch: samples 2 to 4 (0.1 to 0.3 s)\nmin: -2.25 at");
    EXPECT_EQ(ReadFile(plot).rfind("<?xml", 0), 0u);

    WriteFile(work.File("empty.dat"), Header());
    const std::string none =
        "min: none\nmax: none\nfirst: none\nlast: none\nchange: none\nintegral: none\nmean: "
        "none\n";
    const std::string empty = "log: " + work.File("empty.dat") +
                              "\nchart: 3 Acceleration [m/ss]\nsamples: 0\ntime: none\n";
    EXPECT_EQ(Run({"--stats", work.File("empty.dat"), "3"}).output, empty + none);
    EXPECT_EQ(Run({"--stats", "--to", "5", work.File("empty.dat"), "3"}).output,
              empty + "stretch: none\n" + none);
}

TEST_F(Process, DerivedChannelsMatchTheirFormulasRecomputed) {
    WriteIni("");
    // A generated run: times 0.1 s apart with a step back, velocities and forces as the
    // simulator writes them (4 and 3 decimals), a line with a NaN velocity.
    std::mt19937 random(7);
    std::string body;
    double t = 0, d = 0, e = 0, tp = 0, vp = 0, pp = 0;
    for (int k = 1; k <= 3000; ++k) {
        t += k == 1000 ? -0.5 : 0.1;
        char tText[32], vText[32], fText[32];
        std::snprintf(tText, sizeof tText, "%.1f", t);
        std::snprintf(vText, sizeof vText, k == 2000 ? "nan" : "%.4f", random() % 300000 / 1e4 - 2);
        std::snprintf(fText, sizeof fText, "%.3f", random() % 600000 / 1e3 - 100);
        body += Line({tText, vText, "0", "0", "0", fText});
        double tk = std::atof(tText), v = std::atof(vText), p = std::atof(fText) * v;
        bool step = k > 1 && tk > tp;  // every number here is finite but the NaN
        if (step && std::isfinite(v) && std::isfinite(vp)) d = d + (tk - tp) * (v + vp) * 0.5;
        if (step && std::isfinite(p) && std::isfinite(pp))
            e = e + (tk - tp) * (p + pp) * 0.5 / 3600;
        tp = tk, vp = v, pp = p;
    }
    WriteFile(work.File("gen.dat"), Header() + body);
    auto line = [&](const std::string& chart, const std::string& name) {
        std::string out = Run({"--stats", work.File("gen.dat"), chart}).output;
        std::size_t at = out.find("\n" + name + ": ");
        return at == std::string::npos ? out : out.substr(at + 1, out.find('\n', at + 1) - at - 1);
    };
    const std::string end = " at sample 3000 (" + ExactText(tp) + " s)";
    EXPECT_EQ(line("distance", "last"), "last: " + ExactText(d) + end);
    EXPECT_EQ(line("velocity", "integral"), "integral: " + ExactText(d));
    EXPECT_EQ(line("traction-energy", "last"), "last: " + ExactText(e) + end);
}

TEST_F(Process, FailedWritesAreClearAndKeepWhatWasThere) {
    WriteIni("");
    std::string picture = work.File("view.bmp");
    WriteFile(picture, "old");
    // Room for the temporary file (23 bytes a record), not for a 640x480 picture.
    std::vector<std::string> limit = {"prlimit", "--fsize=100000"};
    Outcome full = Run({"--snapshot", picture, Log(700)}, {}, nullptr, limit);
    EXPECT_EQ(full.errors, "plovo: cannot write '" + picture + "': File too large\n");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(ReadFile(picture), "old");
    EXPECT_EQ(work.Entries().size(), 3u) << "a partial picture was left";  // ini, log, picture

    Outcome missing = Run({"--snapshot", work.File("none/view.png"), Log(3)});
    EXPECT_EQ(missing.errors, "plovo: cannot write '" + work.File("none/view.png") +
                                  "': No such file or directory\n");
    EXPECT_EQ(missing.status, 1);
    std::filesystem::create_directory(work.File("d.png"));  // refused before the log is read
    EXPECT_EQ(Run({"--snapshot", work.File("d.png"), Log(3)}).errors,
              "plovo: cannot write '" + work.File("d.png") + "': Is a directory\n");

    Outcome temp = Run({Log(700)}, {}, nullptr, {"prlimit", "--fsize=1000"});
    EXPECT_EQ(temp.output.rfind("plovo: cannot write temporary file '" + tmp.path, 0), 0u);
    EXPECT_NE(temp.output.find("': File too large\n"), std::string::npos);
    EXPECT_EQ(temp.status, 1);
}

TEST_F(Process, EndingSignalsDuringExtractionLeaveNothing) {
    WriteIni("");
    std::string fifo = work.File("log.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Under nohup a SIGHUP stays ignored: the SIGTERM after it ends the run.
    for (auto [number, wrapper] : {std::pair<int, const char*>{SIGINT, ""},
                                   {SIGTERM, ""},
                                   {SIGHUP, ""},
                                   {SIGQUIT, ""},
                                   {SIGUSR1, ""},
                                   {SIGALRM, ""},
                                   {SIGXCPU, ""},
                                   {SIGHUP, "nohup"}}) {
        std::vector<std::string> wrapped;
        if (*wrapper) wrapped = {wrapper};
        Outcome outcome = Run(
            {fifo, "2"}, {},
            [&](pid_t pid) {
                int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
                std::string start = Header() + Line({"1", "2"});
                ASSERT_EQ(write(writer, start.data(), start.size()), ssize_t(start.size()));
                AwaitTempFile();
                kill(pid, number);
                usleep(100000);
                if (*wrapper) kill(pid, SIGTERM);
                usleep(100000);
                close(writer);
            },
            wrapped);
        EXPECT_EQ(outcome.status, 128 + (*wrapper ? SIGTERM : number)) << number << wrapper;
    }
}

TEST_F(Process, ASilentDisplayDoesNotHoldOffCtrlC) {
    FakeDisplay server;  // it never answers
    WriteIni("");
    auto start = std::chrono::steady_clock::now();
    Outcome outcome = Run({Log(700), "2"}, {"DISPLAY=" + server.name}, [](pid_t pid) {
        usleep(500000);
        kill(pid, SIGINT);
        siginfo_t info = {};
        for (int i = 0; i < 300 && info.si_pid == 0; ++i) {
            usleep(10000);
            waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT);
        }
        if (info.si_pid == 0) kill(pid, SIGKILL);
    });
    EXPECT_EQ(outcome.status, 128 + SIGINT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(Process, TheGraphicsFailureSaysWhyTheDisplayDidNotOpen) {
    WriteIni("");
    std::vector<std::string> merged = {"sh", "-c", "exec \"$@\" 2>&1", "sh"};  // stderr too
    const std::string failure = "GFX init failure! Abnormal termination!\nplovo: ";
    std::string unused = "unix:" + std::to_string(90000 + getpid() % 1000);  // no server there
    FakeDisplay server;
    // Every reason must be true: none may come from a stale errno, and the X library's own
    // lines (the server's refusal) appear only inside plovo's.
    // Authority files the X library would read for ever, or for long, are refused first.
    std::string fifo = work.File("auth.fifo"), huge = work.File("huge");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WriteFile(huge, "");
    std::filesystem::resize_file(huge, 16 * 1024 * 1024 + 1);  // sparse
    const std::string authority =
        "cannot open the X display '" + server.name + "': the " + "authority file '";
    struct Case {
        std::string display, reason;
        std::string refusal = "";     // FakeDisplay's refusal; "" closes at once
        std::string xauthority = "";  // the authority file
    } cases[] = {
        {"", "no X display: DISPLAY is not set"},
        {"x!y", "cannot open the X display 'x!y': not a display name"},
        {"/tmp/none:0",
         "cannot open the X display '/tmp/none:0': '/tmp' is not a protocol "
         "(tcp, inet, inet6 or unix)"},
        {"[nohost]:0",
         "cannot open the X display '[nohost]:0': the host 'nohost' was not "
         "found: Name or service not known"},
        {unused, "cannot open the X display '" + unused + "': no connection to " +
                     "/tmp/.X11-unix/X" + unused.substr(5) + ": No such file or directory"},
        {server.name,
         "cannot open the X display '" + server.name +
             "': the server refused the connection: No more clients",
         "No more clients"},
        {server.name,
         "cannot open the X display '" + server.name + "': the server closed the connection"},
        {server.name,
         "cannot open the X display '" + server.name + "': the server closed the connection", "",
         "/dev/null"},  // read as empty
        {server.name, authority + "/dev/zero' is not a regular file", "", "/dev/zero"},
        {server.name, authority + fifo + "' is not a regular file", "", fifo},
        {server.name, authority + huge + "' is larger than 16 MiB", "", huge},
    };
    for (const Case& c : cases) {
        std::function<void(pid_t)> serve = nullptr;
        if (c.display == server.name) serve = [&](pid_t pid) { server.Refuse(pid, c.refusal); };
        std::vector<std::string> env;
        if (!c.display.empty()) env.push_back("DISPLAY=" + c.display);
        if (!c.xauthority.empty()) env.push_back("XAUTHORITY=" + c.xauthority);
        Outcome outcome = Run({Log(3)}, env, serve, merged);
        EXPECT_EQ(outcome.output, failure + c.reason + "\n") << c.display;
        EXPECT_EQ(outcome.status, 1);
    }
}

namespace {
// Appends what a terminal shows to `shown` until it holds `until` (for "": until the terminal
// has nothing more for 5 s, or is closed).
void ReadTerminal(int terminal, const std::string& until, std::string* shown) {
    char buffer[256];
    pollfd wait = {terminal, POLLIN, 0};
    ssize_t got;
    while ((until.empty() || shown->find(until) == std::string::npos) &&
           poll(&wait, 1, 5000) == 1 && (got = read(terminal, buffer, sizeof buffer)) > 0)
        shown->append(buffer, static_cast<std::size_t>(got));
}
}  // namespace

TEST_F(Process, ProgressLineOnATerminalIsClearedAtTheEndAndOnASignal) {
    WriteIni("");
    std::string fifo = work.File("log.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string line = "\rplovo: reading the log: 0 MB";
    const std::string blank = "\r" + std::string(line.size() + 1, ' ') + "\r";  // and "^C"
    for (int number : {0, SIGTERM}) {                                           // 0: the log ends
        int terminal, device;
        ASSERT_EQ(openpty(&terminal, &device, nullptr, nullptr, nullptr), 0);
        fcntl(device, F_SETFD, FD_CLOEXEC);
        errorOutput = device;
        std::string shown;
        Outcome outcome = Run({fifo, "2"}, {}, [&](pid_t pid) {
            close(device);
            int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
            std::string start = Header() + Line({"1", "2"});
            ASSERT_EQ(write(writer, start.data(), start.size()), ssize_t(start.size()));
            usleep(static_cast<useconds_t>(kProgressDelay * 1.2e6));  // then a read shows it
            ASSERT_EQ(write(writer, start.data() + kHeaderSize, 4), 4);
            ReadTerminal(terminal, line, &shown);
            EXPECT_EQ(shown, line);
            if (number != 0) kill(pid, number);
            close(writer);
            ReadTerminal(terminal, "", &shown);
        });
        close(terminal);
        // Then only the graphics failure's reason, when the log ended.
        EXPECT_EQ(shown.substr(0, (line + blank).size()), line + blank) << number;
        if (number != 0) {
            EXPECT_EQ(shown, line + blank);
        }
        EXPECT_EQ(outcome.status, number ? 128 + number : 1);  // 1: no display
    }
}

TEST_F(Process, PicturesNeverReplaceTheLogAndKeepWhatTheOldFileHad) {
    WriteIni("width = 40\nheight = 30\n");
    std::string log = work.File("run.png");  // a log with a picture's name
    std::filesystem::rename(Log(50), log);
    std::string original = ReadFile(log);
    std::filesystem::create_symlink(log, work.File("link.png"));
    for (const std::string& picture : {log, work.File("link.png")}) {
        Outcome same = Run({"--snapshot", picture, log});
        EXPECT_EQ(same.errors, "plovo: cannot write '" + picture +
                                   "': it is the same file as the input '" + log + "'\n");
        EXPECT_EQ(same.status, 1);
    }
    EXPECT_EQ(ReadFile(log), original);

    std::string old = work.File("old.png");
    WriteFile(old, "old");
    chmod(old.c_str(), 0640);
    bool root = geteuid() == 0;  // only root may give a file away
    ASSERT_TRUE(!root || chown(old.c_str(), 1234, 2345) == 0);
    std::filesystem::create_directory(work.File("d"));
    // Through a link the file it points to is replaced, also one that is not there yet.
    std::filesystem::create_symlink("old.png", work.File("to-old.png"));
    std::filesystem::create_symlink("../made.png", work.File("d/to-made.png"));
    for (const std::string& name : std::vector<std::string>{
             "to-old.png", "d/to-made.png", ".png", "d/.png", std::string(246, 'n') + ".png"}) {
        Outcome written = Run({"--snapshot", work.File(name), log});
        EXPECT_EQ(written.status, 0) << name << written.output;
        EXPECT_EQ(ReadFile(work.File(name)).substr(1, 3), "PNG") << name;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(work.File("to-old.png")));
    EXPECT_EQ(ReadFile(work.File("made.png")).substr(1, 3), "PNG");
    struct stat status;
    ASSERT_EQ(stat(old.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_TRUE(!root || (status.st_uid == 1234 && status.st_gid == 2345));
    std::string err;
    EXPECT_FALSE(
        CheckOutputsAreNotInputs({}, {work.File("new.png"), work.File("d/../new.png")}, &err));
    EXPECT_EQ(err, "plovo: cannot write '" + work.File("d/../new.png") +
                       "': it is the same file as the output '" + work.File("new.png") + "'");
    // A loop of links, and a name under a file, are refused for what they are.
    std::filesystem::create_symlink("loop.png", work.File("loop.png"));
    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {work.File("loop.png"), "Too many levels of symbolic links"},
             {log + "/x.png", "Not a directory"}}) {
        EXPECT_FALSE(CheckOutputsWritable({name}, &err)) << name;
        EXPECT_EQ(err, "plovo: cannot write '" + name + "': " + reason);
    }
}

TEST_F(Process, TheNameGivenDecidesTheFormatAndAFifoIsWrittenInto) {
    WriteIni("width = 40\nheight = 30\n");
    std::filesystem::create_symlink("real.bmp", work.File("out.png"));
    std::filesystem::create_symlink("chart-latest", work.File("latest.png"));
    std::string fifo = work.File("f.png");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // waits on it
    Outcome outcome = Run({"--snapshot", work.File("out.png"), "--overview",
                           work.File("latest.png"), "--plot", fifo, Log(50)});
    EXPECT_EQ(outcome.output, "");
    EXPECT_EQ(ReadFile(work.File("real.bmp")).substr(0, 4), "\x89PNG");
    EXPECT_EQ(ReadFile(work.File("chart-latest")).substr(0, 4), "\x89PNG");
    char received[4];
    EXPECT_EQ(read(reader, received, sizeof received), 4);
    EXPECT_EQ(std::string(received, 4), "\x89PNG");
    close(reader);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    // So is a pipe: a link to standard output.
    std::filesystem::create_symlink("/proc/self/fd/1", work.File("stdout.png"));
    EXPECT_EQ(Run({"--snapshot", work.File("stdout.png"), Log(50)}).output.substr(0, 4), "\x89PNG");
    // Without settings too: the line that says so goes to standard error, not into the picture.
    std::filesystem::remove(work.File("plovo.ini"));
    EXPECT_EQ(Run({"--snapshot", work.File("stdout.png"), Log(50)}).output.substr(0, 4), "\x89PNG");
}

TEST_F(Process, OutputThatCannotBeWrittenIsAFailure) {
    WriteIni("");
    std::string log = Log(3), picture = work.File("stand-in.png");
    for (const char* redirect : {">/dev/full", ">&-"}) {
        std::vector<std::string> wrapper = {"sh", "-c", "exec \"$@\" 2>&1 " + std::string(redirect),
                                            "sh"};
        std::string reason = redirect[1] == '/' ? "No space left on device" : "Bad file descriptor";
        for (std::vector<std::string> args : {std::vector<std::string>{"--help"},
                                              {"--version"},
                                              {},
                                              {"--bogus"},
                                              {"--no-display-snapshot", picture, log}}) {
            Outcome lost = Run(args, {}, nullptr, wrapper);
            EXPECT_EQ(lost.output, "plovo: cannot write standard output: " + reason + "\n")
                << redirect << " " << (args.empty() ? "" : args[0]);
            EXPECT_EQ(lost.status, 1);
        }
    }
}

TEST_F(Process, TheStandInSnapshotIsTakenOnlyForAWindowWithoutADisplay) {
    WriteIni("");
    std::string log = Log(3), picture = work.File("stand-in.png"), own = work.File("own.png");
    EXPECT_EQ(Run({"--no-display-snapshot", picture, "--vers"}).output,
              "plovo " + std::string(kVersion) + "\n");
    Outcome asked = Run({"--no-display-snapshot", picture, "--snap", own, log});
    EXPECT_EQ(asked.output, "");
    EXPECT_TRUE(std::filesystem::exists(own));
    EXPECT_FALSE(std::filesystem::exists(picture));
    Outcome window = Run({"--no-display-snapshot", picture, log}, {"DISPLAY="});
    EXPECT_EQ(window.output,
              "plovo: no display (DISPLAY is not set); the chart is in " + picture + "\n");
    EXPECT_EQ(window.status, 0);
    EXPECT_EQ(ReadFile(picture).substr(1, 3), "PNG");
}

TEST_F(Process, ExportWritesTheStretchAsExactNumbersRecomputedHere) {
    // time, velocity, and a 13th column on some lines; time goes back once.
    std::vector<std::vector<std::string>> fields = {
        {"0", "1.5"},       {"0.1", "2.25e1"}, {"0.2", "inf"},
        {"0.3", "-nan"},    {"0.25", "-inf"},  {"0.4", "0.30000000000000004"},
        {"0.5", "abc"},     {"0.6", "0x1p-3"}, {"0.7", "1e-7"},
        {"0.8", "22.0426"}, {"0.9", "-0"},     {"1.0", "7"}};
    std::string body;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::vector<std::string> line = fields[i];
        if (i % 2 == 0)
            line.insert(line.end(),
                        {"3", "4", "5", "6", "7", "8", "9", "10", "11", "-1.5e300", "13"});
        body += Line(line);
    }
    std::string log = work.File("run.dat");
    WriteFile(log, Header() + body);
    // What the export must hold for records 3 .. 10 (0.2 s to the last at 0.8 s or earlier).
    std::string expected = "time,velocity,distance,column13\n";
    DerivedChannels derived;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        double time = ParseNumber(fields[i][0].data(), fields[i][0].size());
        double velocity = ParseNumber(fields[i][1].data(), fields[i][1].size());
        derived.Next(time, velocity, 0);
        if (i < 2 || i > 9) continue;
        std::vector<std::string> row = {ExactText(time), ExactText(velocity),
                                        ExactText(derived.distance()), i % 2 == 0 ? "13" : "0"};
        AppendCsvRow(row, &expected);
    }
    std::string csv = work.File("stretch.csv");
    Outcome file =
        Run({"--export", csv, "--at", "0.2", "--to", "0.8", log, "velocity,distance,13"});
    EXPECT_EQ(file.status, 0) << file.output;
    EXPECT_EQ(ReadFile(csv), expected);
    EXPECT_NE(expected.find("\n0.2,inf,"), std::string::npos);
    EXPECT_NE(expected.find("\n0.3,nan,"), std::string::npos);
    EXPECT_NE(expected.find("\n0.25,-inf,"), std::string::npos);

    // To standard output: the table alone there, every message on standard error.
    int error = open(work.File("stderr").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    errorOutput = error;
    Outcome piped = Run({"--export", "-", "--at", "0.2", "--to", "0.8", "--plot",
                         work.File("p.png"), log, "velocity,distance,13"});
    close(error);
    EXPECT_EQ(piped.output, expected);
    EXPECT_EQ(ReadFile(work.File("stderr")).substr(0, iniError.size()), iniError);
    // From the record --at finds, to the end; nothing when --at finds none.
    EXPECT_EQ(Run({"--export", "-", "--at", "0.95", log, "1"}).output, "time,time\n1,1\n");
    EXPECT_EQ(Run({"--export", "-", "--at", "5", log, "2"}).output, "time,velocity\n");
}

TEST_F(Process, AnExportStopsReadingTheLogOnceItsRowsAreDoneOrRefused) {
    // A FIFO whose writer stays: reading on for rows nobody takes (standard output a pipe nobody
    // reads) or past the stretch's end would wait for the log's end until the writer goes.
    std::string fifo = work.File("log.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string body = Header();
    for (int i = 0; i < 40000; ++i) body += Line({std::to_string(i), "1.5"});
    std::string csv = work.File("first.csv");
    for (bool refused : {true, false}) {
        int out[2];  // a pipe nobody reads, or /dev/null
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        close(out[0]);
        if (!refused) {
            int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
            dup3(null, out[1], O_CLOEXEC);
            close(null);
        }
        std::vector<std::string> args = {work.File("plovo"), "--export", refused ? "-" : csv};
        if (!refused) args.insert(args.end(), {"--to", "2"});
        args.insert(args.end(), {fifo, "2"});
        pid_t pid = Spawn(PLOVO_BINARY, args, Environment({}, {"TMPDIR=" + tmp.path}), out[1]);
        close(out[1]);
        int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        void (*before)(int) = signal(SIGPIPE, SIG_IGN);  // plovo may stop before the rest is read
        EXPECT_GT(write(writer, body.data(), body.size()), 0);
        signal(SIGPIPE, before);
        siginfo_t info = {};
        for (int i = 0; i < 1000 && info.si_pid == 0; ++i, usleep(10000))
            waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT);
        close(writer);
        int status;
        waitpid(pid, &status, 0);
        EXPECT_NE(info.si_pid, 0) << "the log was read on for rows nobody takes";
        EXPECT_EQ(ExitStatus(status), refused ? 1 : 0);
    }
    EXPECT_EQ(ReadFile(csv), "time,velocity\n0,1.5\n1,1.5\n2,1.5\n");
}

TEST_F(Process, ATableGoesToTheStandardOutputItIsGivenWhoeverOpenedIt) {
    // A shell of root's sends the output of a user's plovo to root's file, which the user
    // could not open: the descriptor given is written, as any program writes it.
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run plovo as another user";
    chmod(work.path.c_str(), 0755);
    std::string log = Log(3);
    chmod(log.c_str(), 0644);
    for (const char* table : {"--export", "--summary"}) {
        int out =
            open(work.File("root.csv").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        pid_t pid = Spawn("setpriv",
                          {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                           PLOVO_BINARY, table, "-", log},
                          Environment({}, {"TMPDIR=" + tmp.path}), out);
        close(out);
        int status;
        waitpid(pid, &status, 0);
        EXPECT_EQ(ExitStatus(status), 0) << table;
        EXPECT_EQ(ReadFile(work.File("root.csv")).substr(0, 4), table[2] == 'e' ? "time" : "log,");
    }
}

TEST_F(Process, ListsAndTheComparedLogAreCheckedBeforeTheLogIsRead) {
    WriteIni("");
    std::string fifo = work.File("run.dat");  // read, it would wait for a writer
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string list =
        "plovo: %s shows one chart type: a list of them is for --plot and "
        "--export\n" +
        usage;
    for (auto [option, name] : {std::pair<const char*, const char*>{"--stats", "--stats"},
                                {"--overview=o.png", "--overview"},
                                {"--start=1", "the window"}}) {
        Outcome refused = Run({option, fifo, "velocity,brake-pressure"});
        std::string message = list;
        message.replace(message.find("%s"), 2, name);
        // The window's refusal on its console, an output's on standard error.
        EXPECT_EQ(name[0] == '-' ? refused.errors : refused.output, message);
        EXPECT_EQ(refused.status, 1);
    }
    std::string plot = work.File("p.svg"), missing = work.File("none.dat");
    Outcome gone = Run({"--plot", plot, "--compare", missing, fifo, "2,9"});
    EXPECT_EQ(gone.errors, "plovo: cannot open log '" + missing + "': No such file or directory\n");
    EXPECT_EQ(gone.status, 1);
    Outcome same = Run({"--plot", plot, "--compare", plot, fifo});
    EXPECT_EQ(same.errors, "plovo: cannot write '" + plot +
                               "': it is the same file as the input '" + plot + "'\n");
    EXPECT_FALSE(std::filesystem::exists(plot));
    // The longest list against the distance, with a compared run: files for both logs' lists.
    std::string log = Log(20), longest = "1";
    for (int type = 2; type <= 32; ++type) longest += "," + std::to_string(type);
    Outcome all = Run({"--plot", plot, "--x", "distance", "--compare", log, log, longest});
    EXPECT_EQ(all.output, "");
    EXPECT_EQ(all.status, 0);
}

namespace {
using Fields = std::vector<std::string>;  // a line's columns 1 to 11 as written

// A varied run of `records` lines 0.5 s apart: speeding up to 15 m/s and braking to a stop,
// again and again from a phase `seed` sets, with NaN fields and a brake pressure of exactly
// brake_on here and there.
std::vector<Fields> VariedRun(int seed, int records) {
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
void Recompute(const std::string& log, const std::vector<Fields>& lines, std::string* summary,
               std::string* brakings) {
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
    for (std::size_t k = 1; k < n; ++k) {
        distance += TrapezoidStep(t[k - 1], v[k - 1], t[k], v[k]);
        energy += TrapezoidStep(t[k - 1], f[k - 1] * v[k - 1], t[k], f[k] * v[k]) / 3600;
    }
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
        Fields row = {log,
                      std::to_string(i + 1),
                      ExactText(t[s]),
                      ExactText(v[s]),
                      ExactText(t[e]),
                      stopped ? "true" : "false",
                      text(stopped, t[r]),
                      text(stopped, t[r] - t[s]),
                      ExactText(braked),
                      text(t[r] != t[s], (v[s] - v[r]) / (t[r] - t[s]))};
        extreme(deceleration, s, r, true, &row);
        extreme(p, s, e, true, &row);
        row.pop_back();  // the highest pressure's time
        AppendCsvRow(row, brakings);
    }
    Fields row = {log, std::to_string(n), n ? ExactText(t[0]) : "", n ? ExactText(t[n - 1]) : ""};
    extreme(v, 0, n, true, &row);
    row.insert(row.end(), {text(n, distance), text(n, energy)});
    extreme(c, 0, n, true, &row);
    extreme(c, 0, n, false, &row);
    extreme(current, 0, n, true, &row);
    row.insert(row.end(), {std::to_string(spans.size()), std::to_string(stops)});
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
        "max_coupler_compression_at_s,max_motor_current_a,max_motor_current_at_s,brakings,stops\n";
    const std::string brakingsHeader =
        "log,braking,start_s,start_speed_mps,end_s,stopped,stop_s,time_to_stop_s,"
        "braking_distance_m,mean_deceleration_mps2,max_deceleration_mps2,max_deceleration_at_s,"
        "max_brake_pressure_mpa\n";
};
}  // namespace

TEST_F(Tables, RowsComeInTheOrderOfTheLogsAndAnUnreadableLogIsNamed) {
    // The first log is the longest, so that the others are done before it.
    std::vector<std::string> logs = {VariedLog("long.dat", 0, 30000), work.File("missing.dat"),
                                     VariedLog("run, \"2\".dat", 1, 700),
                                     VariedLog("empty.dat", 2, 0), VariedLog("three.dat", 3, 1200)};
    std::filesystem::resize_file(work.File("empty.dat"), 0);  // not even a header
    std::string table = work.File("brakings.csv");
    std::vector<std::string> args = {"--summary", "-", "--brakings", table};
    args.insert(args.end(), logs.begin(), logs.end());
    Outcome outcome = RunTables(args);
    EXPECT_EQ(outcome.output, summaryHeader + summary);
    EXPECT_EQ(ReadFile(table), brakingsHeader + brakings);
    EXPECT_GT(std::count(brakings.begin(), brakings.end(), '\n'), 700);
    EXPECT_EQ(outcome.status, 1);
    // Standard output carries the table alone: the settings' line goes to standard error too.
    EXPECT_EQ(errors, iniError + "plovo: no settings in '" + work.File("plovo.ini") +
                          "': No such file or directory\nplovo: cannot open log '" + logs[1] +
                          "': No such file or directory\n");

    // Without the header, and without the missing log: rows to put after another run's, and 0.
    logs.erase(logs.begin() + 1);
    WriteIni("");
    args = {"--brakings", "-", "--no-header", "--summary", table};
    args.insert(args.end(), logs.begin(), logs.end());
    outcome = RunTables(args);
    EXPECT_EQ(outcome.output, brakings);
    EXPECT_EQ(ReadFile(table), summary);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(errors, "");
}

TEST_F(Tables, APipeNamedTwiceIsReadOnceAsOneReaderWould) {
    // Two workers reading one pipe at once would each take a part of the run.
    std::string log = VariedLog("piped.dat", 4, 30000), expected, unused;
    Recompute("/dev/stdin", VariedRun(4, 30000), &expected, &unused);
    Recompute("/dev/stdin", {}, &expected, &unused);  // what the first left: nothing
    Outcome outcome = RunTables({"--summary", "-", "/dev/stdin", "/dev/stdin"},
                                {"sh", "-c", "cat '" + log + "' | exec \"$@\"", "sh"});
    EXPECT_EQ(outcome.output, summaryHeader + expected);
    EXPECT_EQ(outcome.status, 0) << errors;
}

TEST_F(Tables, ATableThatCannotTakeItsPlaceLeavesTheOtherAsItWas) {
    WriteIni("");
    std::string fifo = work.File("run.fifo"), table = work.File("summary.csv"),
                other = work.File("brakings.csv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WriteFile(table, "old");
    std::string log = VariedLog("run.dat", 0, 300);
    // While the FIFO holds the run, past the checks, the brakings' name becomes a folder.
    Outcome outcome = RunTables({"--summary", table, "--brakings", other, fifo}, {}, [&](pid_t) {
        int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        std::filesystem::create_directory(other);
        std::string run = ReadFile(log);
        EXPECT_EQ(write(writer, run.data(), run.size()), static_cast<ssize_t>(run.size()));
        close(writer);
    });
    EXPECT_EQ(errors, "plovo: cannot write '" + other + "': Is a directory\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(ReadFile(table), "old");
    EXPECT_FALSE(SiblingLeft());
}

TEST_F(Tables, ATableThroughStandardOutputGoesOnAfterWhatTheFileHeld) {
    // As - would: the file standard output was opened on (>>) is written on, not replaced.
    std::string log = VariedLog("run.dat", 0, 40), file = work.File("runs.csv");
    WriteFile(file, "previous\n");
    std::vector<std::string> appended = {"sh", "-c", "exec \"$@\" >>'" + file + "'", "sh"};
    Outcome outcome = RunTables({"--no-header", "--summary", "/dev/stdout", log}, appended);
    EXPECT_EQ(outcome.status, 0) << errors;
    outcome = RunTables({"--export", "/dev/stdout", "--to", "0", log, "2"}, appended);
    EXPECT_EQ(outcome.status, 0) << errors;
    EXPECT_EQ(ReadFile(file), "previous\n" + summary + "time,velocity\n0,0\n");
    // So is a picture through a link to it; and a table so sent onto the log is refused.
    std::filesystem::create_symlink("/dev/stdout", work.File("out.png"));
    outcome = RunTables({"--snapshot", work.File("out.png"), log}, appended);
    EXPECT_EQ(outcome.status, 0) << errors;
    EXPECT_NE(ReadFile(file).find("0,0\n\x89PNG"), std::string::npos);
    outcome = RunTables({"--summary", "/dev/null", "--brakings", "/dev/null", log});
    EXPECT_EQ(outcome.status, 0) << errors;  // a device shared by two outputs
    std::vector<std::string> ontoLog = {"sh", "-c", "exec \"$@\" >>'" + log + "'", "sh"};
    std::string before = ReadFile(log);
    outcome = RunTables({"--export", "-", log, "2"}, ontoLog);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(ReadFile(log), before);
}

TEST_F(Tables, GnuParallelSpreadsTheLogsOverSeveralRuns) {
    if (std::system("command -v parallel >/dev/null") != 0) GTEST_SKIP() << "no GNU parallel";
    WriteIni("");
    std::string list;
    for (int seed = 0; seed < 6; ++seed)
        list += VariedLog("run" + std::to_string(seed) + ".dat", seed, 300) + "\n";
    WriteFile(work.File("logs.txt"), list);
    // As the manual page shows it: the header once, then the rows of runs of a few logs each.
    std::string script = "\"$1\" --summary - >'" + work.File("all.csv") + "' && TMPDIR='" +
                         work.path + "' parallel --will-cite -k -X -N2 \"$1\" --no-header " +
                         "--summary - :::: '" + work.File("logs.txt") + "' >>'" +
                         work.File("all.csv") + "'";
    Outcome outcome = RunTables({}, {"sh", "-c", script, "sh"});
    EXPECT_EQ(outcome.status, 0) << errors;
    EXPECT_EQ(ReadFile(work.File("all.csv")), summaryHeader + summary);
}

TEST_F(Tables, ProgressOnATerminalAndEndingSignalsLeaveNoSiblingWhileWorkersRun) {
    WriteIni("");
    std::string fifo = work.File("live.fifo"), table = work.File("summary.csv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string log = VariedLog("run.dat", 0, 300);
    const std::string line = "\rplovo: summarising the logs: 0 of 2 done";
    const std::string blank = "\r" + std::string(line.size() + 1, ' ') + "\r";
    for (int number : {0, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {  // 0: the FIFO's writer ends
        WriteFile(table, "old");
        int terminal, device;
        ASSERT_EQ(openpty(&terminal, &device, nullptr, nullptr, nullptr), 0);
        fcntl(device, F_SETFD, FD_CLOEXEC);
        errorOutput = device;
        std::string shown;
        Outcome outcome =
            Run({"--summary", table, "--brakings", "-", fifo, log}, {}, [&](pid_t pid) {
                close(device);
                int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
                ReadTerminal(terminal, line, &shown);
                EXPECT_TRUE(SiblingLeft());
                if (number != 0) kill(pid, number);
                close(writer);
                ReadTerminal(terminal, "", &shown);
            });
        close(terminal);
        errorOutput = -1;
        EXPECT_EQ(shown, line + blank) << number;
        EXPECT_EQ(outcome.status, number ? 128 + number : 0);
        EXPECT_FALSE(SiblingLeft()) << number;
        EXPECT_EQ(ReadFile(table) == "old", number != 0) << number;
        // The table on standard output never holds the line.
        EXPECT_EQ(outcome.output.find('\r'), std::string::npos);
        if (number == 0) {
            EXPECT_EQ(outcome.output.rfind(brakingsHeader + log + ",1,", 0), 0u);
        }
    }
}

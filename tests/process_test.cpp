// The real plovo binary run as a process: its console output, exit status, and that it leaves
// nothing in $TMPDIR.
#include <allegro.h>
#include <fcntl.h>
#include <loadpng.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <random>

#include "chart.h"
#include "charttypes.h"
#include "kolejka.h"
#include "number.h"
#include "options.h"
#include "outputfile.h"
#include "picture.h"
#include "progress.h"
#include "sliding.h"
#include "test_util.h"
#include "viewer.h"

namespace {
struct Outcome {
    std::string output;  // standard output
    int status = -1;     // exit status
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
        pid_t pid = Spawn(wrapper.empty() ? PLOVO_BINARY : wrapper[0], args,
                          Environment({"TMPDIR", "DISPLAY"}, env), pipeFds[1], -1, errorOutput);
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
    register_png_file_type();
    BITMAP* saved = load_bitmap(picture.c_str(), nullptr);
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(saved->w, 120);
    ASSERT_EQ(saved->h, 90);
    int differing = 0;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x)
            differing += getpixel(saved, x, y) != getpixel(expected, x, y);
    EXPECT_EQ(differing, 0);
    destroy_bitmap(saved);
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
    EXPECT_EQ(full.output, "plovo: cannot write '" + picture + "': File too large\n");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(ReadFile(picture), "old");
    EXPECT_EQ(work.Entries().size(), 3u) << "a partial picture was left";  // ini, log, picture

    Outcome missing = Run({"--snapshot", work.File("none/view.png"), Log(3)});
    EXPECT_EQ(missing.output, "plovo: cannot write '" + work.File("none/view.png") +
                                  "': No such file or directory\n");
    EXPECT_EQ(missing.status, 1);

    Outcome temp = Run({Log(700)}, {}, nullptr, {"prlimit", "--fsize=1000"});
    EXPECT_EQ(temp.output.rfind("plovo: cannot write temporary file '" + tmp.path, 0), 0u);
    EXPECT_NE(temp.output.find("': File too large\n"), std::string::npos);
    EXPECT_EQ(temp.status, 1);
}

TEST_F(Process, EndingSignalsDuringExtractionLeaveNothing) {
    WriteIni("");
    std::string fifo = work.File("log.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        Outcome outcome = Run({fifo, "2"}, {}, [&](pid_t pid) {
            int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
            std::string start = Header() + Line({"1", "2"});
            ASSERT_EQ(write(writer, start.data(), start.size()), ssize_t(start.size()));
            AwaitTempFile();
            kill(pid, number);
            usleep(100000);
            close(writer);
        });
        EXPECT_EQ(outcome.status, 128 + number) << number;
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
    struct Case {
        std::string display, reason;
        std::string refusal = "";  // FakeDisplay's refusal; "" closes at once
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
    };
    for (const Case& c : cases) {
        std::function<void(pid_t)> serve = nullptr;
        if (c.display == server.name) serve = [&](pid_t pid) { server.Refuse(pid, c.refusal); };
        std::vector<std::string> env;
        if (!c.display.empty()) env.push_back("DISPLAY=" + c.display);
        Outcome outcome = Run({Log(3)}, env, serve, merged);
        EXPECT_EQ(outcome.output, failure + c.reason + "\n") << c.display;
        EXPECT_EQ(outcome.status, 1);
    }
}

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
            char buffer[256];
            pollfd wait = {terminal, POLLIN, 0};
            ssize_t got;
            while (shown.find(line) == std::string::npos && poll(&wait, 1, 5000) == 1 &&
                   (got = read(terminal, buffer, sizeof buffer)) > 0)
                shown.append(buffer, got);
            EXPECT_EQ(shown, line);
            if (number != 0) kill(pid, number);
            close(writer);
            while (poll(&wait, 1, 5000) == 1 && (got = read(terminal, buffer, sizeof buffer)) > 0)
                shown.append(buffer, got);
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
        EXPECT_EQ(same.output, "plovo: cannot write '" + picture +
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

// The start of a run as a process: the usage, a log or settings that cannot be used, the
// graphics failure and why, and what is refused before the log is read.
#include "process_util.h"

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
    // Under nohup, SIGHUP stays ignored while the start is held; SIGTERM still ends it.
    bool survived = false;
    outcome = Run({Log(700), "2"}, {"DISPLAY=" + server.name},
                  [&](pid_t pid) {
                      usleep(500000);
                      kill(pid, SIGHUP);
                      usleep(300000);
                      siginfo_t info = {};
                      waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT);
                      survived = info.si_pid == 0;
                      kill(pid, SIGTERM);
                  },
                  {"nohup"});
    EXPECT_TRUE(survived);
    EXPECT_EQ(outcome.status, 128 + SIGTERM);
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
// Runs plovo with standard input from a pseudo-terminal, where a console's wait for Enter would
// hold it: what it wrote on each stream, and its status, once it ended or `enter` let it go.
struct Console {
    std::string output, errors;
    int status = -1;
    bool waited = false;  // it asked for Enter
};
Console OnTerminal(Process& process, std::vector<std::string> args) {
    int terminal, device;
    EXPECT_EQ(openpty(&terminal, &device, nullptr, nullptr, nullptr), 0);
    int out[2], err[2];
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(err, O_CLOEXEC), 0);
    args.insert(args.begin(), process.work.File("plovo"));
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = Environment({"DISPLAY"}, {"TMPDIR=" + process.tmp.path});
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, device, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, PLOVO_BINARY, &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    close(device);
    Console console;
    siginfo_t info = {};
    for (int i = 0; i < 300 && info.si_pid == 0; ++i, usleep(10000))
        waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT);
    console.waited = info.si_pid == 0;
    if (console.waited) {
        EXPECT_EQ(write(terminal, "\n", 1), 1);  // Enter
    }
    int status;
    waitpid(pid, &status, 0);
    console.status = ExitStatus(status);
    for (auto [fd, text] : {std::pair{out[0], &console.output}, {err[0], &console.errors}}) {
        char buffer[4096];
        for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) text->append(buffer, got);
        close(fd);
    }
    close(terminal);
    return console;
}
}  // namespace

TEST_F(Process, AnOutputWithoutAWindowSaysWhyOnStandardErrorAndNeverWaits) {
    std::string log = Log(3), missing = work.File("none.dat");
    const std::string unopened =
        "plovo: cannot open log '" + missing + "': No such file or directory\n";
    // No plovo.ini: its message, too, goes to standard error.
    for (std::vector<std::string> args : {std::vector<std::string>{"--stats", missing},
                                          {"--plot", work.File("p.svg"), missing},
                                          {"--export", "-", missing},
                                          {"--summary", "-", missing}}) {
        Console batch = OnTerminal(*this, args);
        EXPECT_FALSE(batch.waited) << args[0];
        // The table's header is written before the logs are read.
        EXPECT_EQ(batch.output.substr(0, 4), args[0] == "--summary" ? "log," : "") << args[0];
        EXPECT_EQ(batch.errors.substr(0, iniError.size()), iniError) << args[0];
        EXPECT_NE(batch.errors.find(unopened), std::string::npos) << args[0];
        EXPECT_EQ(batch.status, 1) << args[0];
    }
    Console usage = OnTerminal(*this, {"--stats"});
    EXPECT_FALSE(usage.waited);
    EXPECT_EQ(usage.errors, this->usage);
    // The window keeps the console: its messages on standard output, then a wait for Enter.
    Console window = OnTerminal(*this, {missing});
    EXPECT_TRUE(window.waited);
    EXPECT_EQ(window.output.substr(0, iniError.size()), iniError);
    EXPECT_NE(window.output.find(unopened + "Press Enter to continue..."), std::string::npos);
    EXPECT_EQ(window.status, 1);
}

TEST_F(Process, AnOutputSaysWhichArgumentsItDidNotUse) {
    WriteIni("default = brake-pressure\n");
    std::string log = Log(2);
    // Past a log and a chart type, the chart type comes from plovo.ini: the export says so.
    Outcome exported = Run({"--export", "-", log, "velocity", "motor-current"});
    EXPECT_EQ(exported.output, "time,brake-pressure\n0,0\n1,0\n");
    EXPECT_EQ(exported.errors,
              "plovo: more than a log and a chart type given: 'motor-current' ignored, chart type "
              "from plovo.ini (display:default)\n");
    EXPECT_EQ(exported.status, 0);
    // The window keeps the plain command line's silence.
    Outcome window = Run({log, "velocity", "motor-current"});
    EXPECT_EQ(window.output, "GFX init failure! Abnormal termination!\n");
    EXPECT_EQ(window.errors, "plovo: no X display: DISPLAY is not set\n");
}

TEST_F(Process, ARunIsRefusedOnlyOverSettingsItUses) {
    WriteIni("width = 0\n[analysis]\nbrake_on = -1\n");
    std::string log = Log(3);
    Outcome table = Run({"--summary", "-", "--no-header", log});
    EXPECT_EQ(table.status, 1) << table.errors;  // the analysis is the table's
    WriteIni("width = 0\n");
    table = Run({"--summary", "-", "--no-header", log});
    EXPECT_EQ(table.status, 0) << table.errors;
    EXPECT_EQ(table.output.substr(0, log.size() + 3), log + ",3,");
    Outcome exported = Run({"--export", "-", "--to", "1", log});
    EXPECT_EQ(exported.output, "time,velocity\n0,1.5\n1,1.5\n");
    Outcome plotted = Run({"--plot", work.File("p.svg"), "--at", "0", "--to", "1", log});
    EXPECT_EQ(plotted.status, 0) << plotted.errors;
    // A picture of the window needs its width.
    Outcome snapshot = Run({"--snapshot", work.File("s.png"), log});
    EXPECT_EQ(snapshot.errors, "plovo: display:width 0 in '" + work.File("plovo.ini") +
                                   "' is out of range: expected 1 to 16384\n" + usage);
    EXPECT_EQ(snapshot.status, 1);
}

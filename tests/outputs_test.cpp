// The outputs as a process writes them: pictures, figures, plots and exports, their exact
// numbers, and files that are never half written, never an input, and refused for a reason.
#include "process_util.h"

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

namespace {
// Starts plovo on `args` (after the program's name) with standard output to `out` and standard
// error to `error`; returns at once.
pid_t Start(Process& process, std::vector<std::string> args, int out = -1, int error = -1) {
    args.insert(args.begin(), process.work.File("plovo"));
    return Spawn(PLOVO_BINARY, args, Environment({"DISPLAY"}, {"TMPDIR=" + process.tmp.path}), out,
                 -1, error);
}

// Whether `pid` ends within `seconds`.
bool EndsWithin(pid_t pid, double seconds) {
    siginfo_t info = {};
    for (int i = 0; i < seconds * 100 && info.si_pid == 0; ++i, usleep(10000))
        waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT);
    return info.si_pid != 0;
}
}  // namespace

TEST_F(Process, EachOutputGivenTwiceIsWrittenFromOneReadingOfTheLog) {
    WriteIni("width = 40\nheight = 30\n");
    // A FIFO can be read once: a second reading would find nothing.
    std::string fifo = work.File("run.fifo"), csv = work.File("a.csv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Outcome outcome = Run({"--plot",     work.File("a.pdf"),
                           "--plot",     work.File("a.png"),
                           "--export",   csv,
                           "--export",   "-",
                           "--snapshot", work.File("s.png"),
                           "--snapshot", work.File("s.bmp"),
                           "--overview", work.File("o.png"),
                           "--overview", work.File("o.tga"),
                           "--at",       "1",
                           "--to",       "3",
                           fifo},
                          {}, [&](pid_t) {
                              int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
                              std::string log = ReadFile(Log(60));
                              EXPECT_EQ(write(writer, log.data(), log.size()), ssize_t(log.size()));
                              close(writer);
                          });
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.output, "time,velocity\n1,1.5\n2,1.5\n3,1.5\n");
    EXPECT_EQ(ReadFile(csv), outcome.output);
    EXPECT_EQ(ReadFile(work.File("a.pdf")).substr(0, 5), "%PDF-");
    EXPECT_EQ(ReadFile(work.File("a.png")).substr(1, 3), "PNG");
    EXPECT_EQ(ReadFile(work.File("s.png")).substr(1, 3), "PNG");
    EXPECT_EQ(ReadFile(work.File("s.bmp")).substr(0, 2), "BM");
    EXPECT_EQ(ReadFile(work.File("o.png")).substr(1, 3), "PNG");
    EXPECT_FALSE(ReadFile(work.File("o.tga")).empty());
}

TEST_F(Process, AStretchAloneIsReadNoFurtherThanItsEnd) {
    WriteIni("width = 10\nheight = 30\n");
    // A FIFO whose writer stays: reading on past the stretch would wait for the writer to go.
    std::string fifo = work.File("log.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string log = Header();
    for (int i = 0; i < 20000; ++i) log += Line({std::to_string(i), "1.5"});
    for (std::vector<std::string> args :
         {std::vector<std::string>{"--plot", work.File("p.svg"), "--export", work.File("e.csv"),
                                   "--at", "2", "--to", "4"},
          {"--plot", work.File("p.svg"), "--start", "5"},  // the first view: records 5 to 14
          {"--plot", work.File("p.svg"), "--to", "3", "--stats"}}) {
        bool whole = args.back() == "--stats";  // the figures are the whole log's
        args.push_back(fifo);
        pid_t pid = Start(*this, args);
        int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        void (*before)(int) = signal(SIGPIPE, SIG_IGN);  // plovo may stop before the rest is read
        EXPECT_GT(write(writer, log.data(), log.size()), 0);
        signal(SIGPIPE, before);
        EXPECT_EQ(EndsWithin(pid, whole ? 1 : 10), !whole) << args[0] << " " << args[2];
        close(writer);
        int status;
        waitpid(pid, &status, 0);
        EXPECT_EQ(ExitStatus(status), 0) << args[2];
    }
    EXPECT_EQ(ReadFile(work.File("e.csv")), "time,velocity\n2,1.5\n3,1.5\n4,1.5\n");
}

TEST_F(Process, AFileTheUserMayNotWriteIsRefusedAsCpRefusesIt) {
    // Root may write any file: the run is a user's, on a file of that user's, mode 0444.
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run plovo as another user";
    chmod(work.path.c_str(), 0777);
    std::string log = Log(3), table = work.File("ro.csv");
    chmod(log.c_str(), 0644);
    WriteFile(table, "kept\n");
    ASSERT_EQ(chown(table.c_str(), 65534, 65534), 0);
    chmod(table.c_str(), 0444);
    int error = open(work.File("stderr").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    pid_t pid = Spawn("setpriv",
                      {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", PLOVO_BINARY,
                       "--summary", table, log},
                      Environment({}, {"TMPDIR=" + tmp.path}), -1, -1, error);
    close(error);
    int status;
    waitpid(pid, &status, 0);
    EXPECT_EQ(ExitStatus(status), 1);
    EXPECT_EQ(ReadFile(work.File("stderr")),
              "plovo: cannot write '" + table + "': Permission denied\n");
    EXPECT_EQ(ReadFile(table), "kept\n");
}

TEST_F(Process, MessagesNameTheOutputAsTheUserGaveIt) {
    WriteIni("");
    std::string log = Log(3), before = ReadFile(log);
    std::vector<std::string> ontoLog = {"sh", "-c", "exec \"$@\" >>'" + log + "'", "sh"};
    Outcome exported = Run({"--export", "-", log, "2"}, {}, nullptr, ontoLog);
    EXPECT_EQ(exported.errors,
              "plovo: cannot write standard output: it is the same file as the "
              "input '" +
                  log + "'\n");
    Outcome table = Run({"--brakings", "/dev/fd/1", log}, {}, nullptr, ontoLog);
    EXPECT_EQ(table.errors,
              "plovo: cannot write '/dev/fd/1': it is the same file as the input '" + log + "'\n");
    EXPECT_EQ(table.status, 1);
    EXPECT_EQ(ReadFile(log), before);
}

TEST_F(Process, OneStandardOutputTakesOneOutputHoweverItIsNamed) {
    WriteIni("");
    std::string log = Log(3), before = ReadFile(log);
    // Into a pipe, "-" and a link to it are one stream: the table twice, or the figures in the
    // table, would be read as one.
    for (const auto& [args, first, second] :
         std::vector<std::tuple<std::vector<std::string>, std::string, std::string>>{
             {{"--export", "-", "--export", "/dev/stdout"}, "--export -", "--export '/dev/stdout'"},
             {{"--export", "/dev/fd/1", "--stats"}, "--export '/dev/fd/1'", "--stats"},
             {{"--summary", "-", "--brakings", "/dev/stdout"},
              "--summary -",
              "--brakings '/dev/stdout'"}}) {
        std::vector<std::string> run = args;
        run.push_back(log);
        Outcome outcome = Run(run);
        EXPECT_EQ(outcome.status, 1) << first;
        EXPECT_EQ(outcome.output, "") << first;
        EXPECT_EQ(outcome.errors, "plovo: " + first + " and " + second +
                                      " both write to standard output: give one of them\n");
    }
    // A device takes both, keeping nothing.
    EXPECT_EQ(Run({"--export", "/dev/null", "--stats", log}, {}, nullptr,
                  {"sh", "-c", "exec \"$@\" >/dev/null", "sh"})
                  .status,
              0);
    // The figures onto the log they are of, as a table would be.
    std::vector<std::string> ontoLog = {"sh", "-c", "exec \"$@\" >>'" + log + "'", "sh"};
    Outcome figures = Run({"--stats", log}, {}, nullptr, ontoLog);
    EXPECT_EQ(figures.status, 1);
    EXPECT_EQ(
        figures.errors,
        "plovo: cannot write standard output: it is the same file as the input '" + log + "'\n");
    EXPECT_EQ(ReadFile(log), before);
}

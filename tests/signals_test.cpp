// Ending signals and the progress line: a run ended at any moment leaves no file behind.
#include <thread>

#include "process_util.h"

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

TEST_F(Process, EndingSignalsWhileWorkersReadTheLogLeaveNothing) {
    WriteIni("");
    // 106 MB, read in parts for a few tenths of a second: the signal comes while the workers
    // read, once the records' files exist.
    const std::string line = Row("22.0426");
    std::string body;
    body.reserve(400000 * line.size());
    for (int i = 0; i < 400000; ++i) body += line;
    const std::string log = work.File("large.dat");
    WriteFile(log, Header() + body);
    body = std::string();
    for (int number : {SIGTERM, SIGINT}) {
        Outcome outcome = Run({"--snapshot", work.File("large.png"), log}, {}, [&](pid_t pid) {
            AwaitTempFile();
            kill(pid, number);
        });
        EXPECT_EQ(outcome.status, 128 + number);
        EXPECT_FALSE(std::filesystem::exists(work.File("large.png")));
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

TEST_F(Process, TheProgressLineOnAPipeCountsWhatWasRead) {
    WriteIni("");
    std::string fifo = work.File("log.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int terminal, device;
    ASSERT_EQ(openpty(&terminal, &device, nullptr, nullptr, nullptr), 0);
    fcntl(device, F_SETFD, FD_CLOEXEC);
    errorOutput = device;
    std::string shown;
    Run({fifo, "2"}, {}, [&](pid_t pid) {
        close(device);
        int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        std::string start = Header() + Line({"1", "2"});
        ASSERT_EQ(write(writer, start.data(), start.size()), ssize_t(start.size()));
        usleep(static_cast<useconds_t>(kProgressDelay * 1.2e6));
        ASSERT_EQ(write(writer, start.data() + kHeaderSize, 4), 4);
        ReadTerminal(terminal, "0 MB", &shown);
        // A burst, then the writer waits: the line shows what was read, not what it showed.
        std::string burst;
        while (burst.size() < 1536 * 1024) burst += Line({"1", "2"});
        ASSERT_EQ(write(writer, burst.data(), burst.size()), ssize_t(burst.size()));
        ReadTerminal(terminal, "reading the log: 1 MB", &shown);
        EXPECT_NE(shown.find("reading the log: 1 MB"), std::string::npos) << shown;
        kill(pid, SIGTERM);
        close(writer);
    });
    close(terminal);
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

TEST_F(Process, ATableKilledOnStandardOutputEndsOnARowBoundary) {
    // Rows that span the output's blocks; the log a FIFO whose writer stays, so that plovo is
    // still at work when the signal comes: into a pipe whose reader stopped reading, and into a
    // file, as a shell's >> opens it.
    WriteIni("");
    std::string fifo = work.File("log.fifo"), file = work.File("runs.csv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string log = Header();
    for (int i = 0; i < 20000; ++i) log += Line({ExactText(i * 0.1), ExactText(i / 7.0), "-0.125"});
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        for (bool piped : {true, false}) {
            int out[2];
            ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
            if (!piped) {
                WriteFile(file, "");
                close(out[1]);
                out[1] = open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
            }
            std::vector<std::string> args = {work.File("plovo"), "--export", "-", fifo, "1,2,3"};
            pid_t pid = Spawn(PLOVO_BINARY, args, Environment({}, {"TMPDIR=" + tmp.path}), out[1]);
            close(out[1]);
            int writer = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
            void (*before)(int) = signal(SIGPIPE, SIG_IGN);  // plovo ends before the log does
            std::thread feed([&] { (void)!write(writer, log.data(), log.size()); });
            std::string table;
            char buffer[4096];
            while (piped && table.size() < 100000) {
                ssize_t got = read(out[0], buffer, sizeof buffer);
                ASSERT_GT(got, 0);
                table.append(buffer, got);
            }
            // Into the file, once plovo has written what it took and waits for more of the log.
            for (std::size_t size = 0; !piped && (size == 0 || ReadFile(file).size() != size);)
                size = ReadFile(file).size(), usleep(100000);
            kill(pid, number);
            for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
                table.append(buffer, got);
            close(out[0]);
            feed.join();
            signal(SIGPIPE, before);
            close(writer);
            int status;
            waitpid(pid, &status, 0);
            EXPECT_EQ(ExitStatus(status), 128 + number);
            if (!piped) table = ReadFile(file);
            ASSERT_FALSE(table.empty());
            EXPECT_EQ(table.back(), '\n') << number << piped;
            // Every row whole: three commas a row.
            EXPECT_EQ(std::count(table.begin(), table.end(), ','),
                      3 * std::count(table.begin(), table.end(), '\n'));
        }
    }
}

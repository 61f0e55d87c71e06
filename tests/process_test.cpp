// The real plovo binary run as a process: its console output, exit status, and that it leaves
// nothing in $TMPDIR.
#include <fcntl.h>
#include <unistd.h>

#include "test_util.h"

namespace {
struct Outcome {
    std::string output;  // standard output
    int status = -1;     // exit status
};

class Process : public ::testing::Test {
  protected:
    // Runs plovo with argv[0] = work/plovo, so that it looks for work/plovo.ini, with
    // standard input from /dev/null and no display.
    Outcome Run(std::vector<std::string> args) {
        args.insert(args.begin(), work.File("plovo"));
        int pipeFds[2];
        EXPECT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
        pid_t pid = Spawn(PLOVO_BINARY, args,
                          Environment({"TMPDIR", "DISPLAY"}, {"TMPDIR=" + tmp.path}), pipeFds[1]);
        EXPECT_GT(pid, 0);
        close(pipeFds[1]);

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
    const std::string usage = "plovo <file>.dat chart_type\nDetails: ReadMe.txt\n";
    const std::string iniError = "IniFile error!!! Loading default settings...\n";
};
}  // namespace

TEST_F(Process, NoLogNamedPrintsOnlyTheUsage) {
    Outcome outcome = Run({});  // no plovo.ini either: still no INI message
    EXPECT_EQ(outcome.output, usage);
    EXPECT_EQ(outcome.status, 1);
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
                               "plovo: chart type 0 from the command line ('abc') is out of "
                               "range: expected 1 or more (1 to 11 name the log's columns)\n" +
                               usage);
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
}

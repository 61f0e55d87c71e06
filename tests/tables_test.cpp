// The summary and brakings tables as a process writes them: rows in the order of the logs,
// recomputed here, files replaced together, standard output written after what it held.
#include "process_util.h"

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

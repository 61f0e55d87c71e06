// The summary and brakings tables as a process writes them: rows in the order of the logs,
// recomputed here, files replaced together, standard output written after what it held.
#include <sstream>

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

TEST_F(Tables, TheLongestBrakingAndTheEnergyPerKilometreTakeOneCommand) {
    WriteIni("");
    std::vector<std::string> logs = {VariedLog("a.dat", 0, 900), VariedLog("b.dat", 1, 1300),
                                     VariedLog("c.dat", 2, 700)};
    // The rows recomputed, each split into its fields.
    auto split = [](const std::string& rows) {
        std::vector<std::vector<std::string>> table;
        std::istringstream lines(rows);
        for (std::string line; std::getline(lines, line);) {
            table.emplace_back();
            std::istringstream fields(line);
            for (std::string field; std::getline(fields, field, ',');)
                table.back().push_back(field);
            if (line.back() == ',') table.back().push_back("");
        }
        return table;
    };
    auto join = [](const std::vector<std::vector<std::string>>& table, std::size_t rows) {
        std::string csv;
        for (std::size_t row = 0; row < rows && row < table.size(); ++row)
            AppendCsvRow(table[row], &csv);
        return csv;
    };
    std::vector<std::vector<std::string>> expected = split(brakings);
    ASSERT_GT(expected.size(), 50u);
    // The longest braking: numbers compared as numbers, the first of equal ones first.
    std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return std::atof(a[8].c_str()) > std::atof(b[8].c_str());
    });
    std::vector<std::string> args = {"--brakings", "-", "--sort", "braking_distance_m:desc",
                                     "--top",      "1"};
    args.insert(args.end(), logs.begin(), logs.end());
    Outcome longest = RunTables(args);
    EXPECT_EQ(longest.output, brakingsHeader + join(expected, 1)) << errors;
    // kWh per km, the least first; stop times, the earliest first, an empty one (no stop) last.
    std::vector<std::vector<std::string>> runs = split(summary);
    std::stable_sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) {
        return std::atof(a[17].c_str()) < std::atof(b[17].c_str());
    });
    args = {"--summary", "-", "--sort", "traction_energy_kwh_per_km", "--no-header"};
    args.insert(args.end(), logs.begin(), logs.end());
    EXPECT_EQ(RunTables(args).output, join(runs, 3));
    expected = split(brakings);
    std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        if (a[6].empty() != b[6].empty()) return b[6].empty();
        return std::atof(a[6].c_str()) < std::atof(b[6].c_str());
    });
    ASSERT_TRUE(expected.back()[6].empty());
    args = {"--brakings", "-", "--sort", "stop_s", "--no-header"};
    args.insert(args.end(), logs.begin(), logs.end());
    EXPECT_EQ(RunTables(args).output, join(expected, expected.size()));
    // --top alone: the first rows in the order of the logs.
    args = {"--brakings", "-", "--top", "4", "--no-header"};
    args.insert(args.end(), logs.begin(), logs.end());
    EXPECT_EQ(RunTables(args).output, join(split(brakings), 4));
}

TEST_F(Tables, ATimeDifferenceHasTheDecimalsOfItsTimes) {
    // Applied at 259725.3 s, stopped at 259760.4 s: the doubles' difference is 35.10000000000582.
    std::string log = Header();
    char time[32], velocity[32];
    for (int i = 0; i < 450; ++i) {
        std::snprintf(time, sizeof time, "%.1f", 259720.0 + i / 10.0);
        std::snprintf(velocity, sizeof velocity, "%.4f", std::clamp((404 - i) * 0.2, 0.0, 20.0));
        log += Line({time, velocity, "0", "0", "0", "0", "0", "0", i >= 53 ? "0.3" : "0"});
    }
    WriteFile(work.File("run.dat"), log);
    // An analysis key plovo.ini gets wrong is no matter when the command line gives it.
    WriteIni("[analysis]\nbrake_on = 0,05\n");
    Outcome refused = RunTables({"--brakings", "-", work.File("run.dat")});
    EXPECT_EQ(refused.status, 1);
    Outcome outcome =
        RunTables({"--brakings", "-", "--brake-on", "0.05", "--stop-s=0.1", work.File("run.dat")});
    EXPECT_EQ(outcome.status, 0) << errors;
    std::string row = outcome.output.substr(brakingsHeader.size());
    EXPECT_EQ(row.substr(0, row.find(",", row.find("259760.4,") + 9)),
              work.File("run.dat") + ",1,259725.3,20,259764.9,true,259760.4,35.1");
}

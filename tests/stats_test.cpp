// The --stats lines: the whole log's figures, and a stretch's as --plot --to finds it.
#include "stats.h"

#include <cmath>
#include <optional>

#include "test_util.h"

TEST_F(PlovoTest, StatsDescribeTheWholeLogOrTheStretchThatPlotToDraws) {
    // Times and velocities: a NaN, two records at the same time, a negative value at the end.
    std::string body;
    for (auto [t, v] : std::vector<std::pair<const char*, const char*>>{
             {"0", "4"}, {"1", "nan"}, {"1", "6"}, {"2", "8"}, {"3", "-2"}})
        body += Line({t, v});
    std::string log = work.File("run.dat");
    WriteFile(log, Header() + body);
    const std::string whole =
        "min: -2 at sample 5 (3 s)\nmax: 8 at sample 4 (2 s)\nfirst: 4 at sample 1 (0 s)\n"
        "last: -2 at sample 5 (3 s)\nchange: -6\nintegral: 10\nmean: 3.3333333333333335\n";
    const std::string none =
        "stretch: none\nmin: none\nmax: none\nfirst: none\nlast: none\nchange: none\n"
        "integral: none\nmean: none\n";
    struct Case {
        std::int64_t start;  // the --start record
        std::optional<double> at, to;
        std::string lines;  // after "time:"
    } cases[] = {
        {3, std::nullopt, std::nullopt, whole},  // without --to, the whole log wherever it opens
        {1, std::nullopt, 1e300, "stretch: samples 1 to 5 (0 to 3 s)\n" + whole},
        {1, 0.5, 2.5,  // --at finds record 2, and the stretch goes on as --start 2's
         "stretch: samples 2 to 4 (1 to 2 s)\nmin: 6 at sample 3 (1 s)\nmax: 8 at sample 4 (2 s)\n"
         "first: nan at sample 2 (1 s)\nlast: 8 at sample 4 (2 s)\nchange: none\nintegral: 7\n"
         "mean: 7\n"},
        {2, std::nullopt,
         2.5,  // a NaN at the stretch's first record: no change, its step adds nothing
         "stretch: samples 2 to 4 (1 to 2 s)\nmin: 6 at sample 3 (1 s)\nmax: 8 at sample 4 (2 s)\n"
         "first: nan at sample 2 (1 s)\nlast: 8 at sample 4 (2 s)\nchange: none\nintegral: 7\n"
         "mean: 7\n"},
        {2, std::nullopt, 1,  // equal times: no step, no mean
         "stretch: samples 2 to 3 (1 to 1 s)\nmin: 6 at sample 3 (1 s)\nmax: 6 at sample 3 (1 s)\n"
         "first: nan at sample 2 (1 s)\nlast: 6 at sample 3 (1 s)\nchange: none\nintegral: 0\n"
         "mean: none\n"},
        {4, std::nullopt, -5,  // --to before the start's time: that record alone
         "stretch: samples 4 to 4 (2 to 2 s)\nmin: 8 at sample 4 (2 s)\nmax: 8 at sample 4 (2 s)\n"
         "first: 8 at sample 4 (2 s)\nlast: 8 at sample 4 (2 s)\nchange: 0\nintegral: 0\n"
         "mean: none\n"},
        {6, std::nullopt, 1e300, none},  // --start past the end
        {1, 3.5, 1e300, none},           // --at past the end
    };
    const std::string head =
        "log: " + log + "\nchart: 2 Velocity [m/s]\nsamples: 5\ntime: 0 to 3 s\n";
    for (const Case& c : cases) {
        std::optional<StretchChoice> stretch;
        if (c.to) stretch = StretchChoice{c.start, c.at, c.to};
        // Taken as the log is read, alone or beside the extraction's records in one pass.
        for (bool beside : {false, true}) {
            LogExtraction extraction(log, {ColumnChannel(2)});
            LogReader alone(log);
            LogReader& reader = beside ? extraction.reader() : alone;
            StatsFigures figures(ColumnChannel(2), stretch, reader.columns());
            reader.Add(figures);
            std::string error;
            ASSERT_TRUE(beside ? extraction.Start(false, &error) : alone.Start(false, &error));
            EXPECT_EQ(StatsText(log, ColumnChannel(2), figures.whole(), figures.stretch()),
                      head + c.lines)
                << c.start << " " << c.to.value_or(-1) << " " << beside;
        }
    }
}

TEST(StretchAccumulator, StepsOverWhatIsNotFiniteAndKeepsTheFirstExtremes) {
    StretchAccumulator stretch;
    // {time, value}: a NaN value, a time that goes back, equal extremes later.
    const double nan = std::nan("");
    std::vector<std::pair<double, double>> records = {{0, 2},   {1, nan}, {2, 6},
                                                      {1.5, 6}, {3, -1},  {4, -1}};
    for (std::size_t k = 0; k < records.size(); ++k)
        stretch.Add(static_cast<std::int64_t>(k + 11), records[k].first, records[k].second);
    StretchFigures f = stretch.Figures();
    EXPECT_EQ(f.records, 6);
    EXPECT_EQ(f.firstRecord, 11);
    EXPECT_EQ(f.lastRecord, 16);
    EXPECT_EQ(f.range.maximum, 6);
    EXPECT_EQ(f.range.maximumRecord, 13);  // the first of the two
    EXPECT_EQ(f.maximumTime, 2);
    EXPECT_EQ(f.range.minimumRecord, 15);
    EXPECT_EQ(f.minimumTime, 3);
    // Steps: 0-1 and 1-2 touch the NaN, 2-1.5 goes back; 1.5-3 and 3-4 count.
    EXPECT_EQ(f.integral, 1.5 * (6 + -1) * 0.5 + 1 * (-1 + -1) * 0.5);
    EXPECT_EQ(*f.Change(), -3);
    EXPECT_EQ(*f.Mean(), f.integral / 4);
    EXPECT_FALSE(StretchAccumulator().Figures().Mean());
}

TEST(StatsText, NoFiniteSampleHasNoIntegralNorMean) {
    // Samples, all of them NaN or infinite: nothing to sum, so none rather than 0.
    StretchAccumulator stretch;
    const double nan = std::nan("");
    for (auto [time, value] : std::vector<std::pair<double, double>>{{0, nan}, {1, INFINITY}})
        stretch.Add(static_cast<std::int64_t>(time + 1), time, value);
    std::string text = StatsText("a.dat", ColumnChannel(9), stretch.Figures(), std::nullopt);
    EXPECT_NE(text.find("min: none\nmax: none\nfirst: nan at sample 1 (0 s)\n"
                        "last: inf at sample 2 (1 s)\nchange: none\nintegral: none\nmean: none\n"),
              std::string::npos)
        << text;
}

TEST(StatsText, ALabelOfTheReadersKeepsTheChartLineOneLineOfPrintableText) {
    // A label given with --label is the reader's text: a line feed or an escape sequence in it
    // would split the line scripts read, or drive the terminal; the log's name is escaped so too.
    Units units;
    std::string err;
    ASSERT_TRUE(units.Read("km/h", &err)) << err;
    std::string text = StatsText("a\x1b.dat", ColumnChannel(2), StretchAccumulator().Figures(),
                                 std::nullopt, units, {{ColumnChannel(2), "Speed\n\x1b[31mred"}});
    EXPECT_EQ(text.substr(0, text.find("samples:")),
              "log: a\\x1b.dat\nchart: 2 Speed\\x0a\\x1b[31mred [km/h]\n");
}

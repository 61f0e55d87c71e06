// The extraction into the temporary files, and the follower that goes on with a growing log.
#include "extraction.h"

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "number.h"
#include "records.h"
#include "test_util.h"

namespace {
std::string Record(const std::string& text) {
    return text + std::string(23 - text.size(), ' ');
}

// The record of a computed value: its shortest exact text.
std::string Computed(double value) {
    return Record(ExactText(value));
}

class Extraction : public PlovoTest {
  protected:
    // Extracts `column` of a log with these bytes after the header; returns the temp file.
    std::string Extract(const std::string& body, int column = 2) {
        std::string log = work.File("log.dat");
        WriteFile(log, Header() + body);
        std::string error;
        extreme = MakeTempFile(log.c_str(), column, &error, &range);
        EXPECT_EQ(error, "");
        return ReadFile(TempPath());
    }
    double extreme = 0.0;
    SampleRange range;
};
}  // namespace

TEST_F(Extraction, LineEndsDoNotChangeTheRecords) {
    std::string lf = Extract(Row("1.5") + Row("-2.25") + Row("3"));
    EXPECT_EQ(lf, Padded("1.5") + Padded("-2.25") + Padded("3"));
    EXPECT_EQ(iFc, 3);
    EXPECT_EQ(extreme, 3.0);

    iFc = 0;
    EXPECT_EQ(Extract(Row("1.5", "\r\n") + Row("-2.25", "\r\n") + Row("3", "\r\n")), lf);
    EXPECT_EQ(iFc, 3);

    iFc = 0;
    EXPECT_EQ(Extract(Row("1.5") + Row("-2.25") + Row("3", "")), lf);
    EXPECT_EQ(iFc, 3);
}

TEST_F(Extraction, ColumnOneIsTheBytesRightAfterTheHeader) {
    std::string body = Row("x") + Row("y");
    EXPECT_EQ(Extract(body, 1), body.substr(0, 23) + body.substr(body.find('\n') + 1, 23));
    EXPECT_EQ(ReadFile(work.File("log.dat")).substr(247, 23), body.substr(0, 23));
}

TEST_F(Extraction, ShortFieldsArePaddedSoLaterRecordsKeepTheirPlace) {
    // Column 2 cut short by a line feed, then by the end of the file.
    std::string body = Column("1") + "  42\n" + Row("5") + Column("1") + "  -7.5";
    EXPECT_EQ(Extract(body), Record("  42") + Padded("5") + Record("  -7.5"));
    EXPECT_EQ(iFc, 3);
    EXPECT_EQ(extreme, 42.0);
    EXPECT_EQ(czytaj(2), 5.0);
    EXPECT_EQ(czytaj(3), -7.5);
}

TEST_F(Extraction, ANulCutsTheFieldButNotTheRecord) {
    std::string field = Padded("12.5");
    field[21] = '\0';  // "...12\05" -> the text up to the NUL
    std::string body = Line({"1"}, "") + field + " \n" + Row("8");
    EXPECT_EQ(Extract(body), Record(field.substr(0, 21)) + Padded("8"));
    EXPECT_EQ(czytaj(1), 12.0);
    EXPECT_EQ(czytaj(2), 8.0);
}

TEST_F(Extraction, LinesWithoutTheColumnGiveBlankRecords) {
    std::string body = Row("1") + Line({"1"}) + "  5\n" + Row("3");
    EXPECT_EQ(Extract(body), Padded("1") + Record("") + Record("") + Padded("3"));
    EXPECT_EQ(iFc, 4);
    EXPECT_EQ(czytaj(4), 3.0);
}

TEST_F(Extraction, EmptyLinesAreSkippedAndTheRestIsKept) {
    EXPECT_EQ(Extract(Row("1") + "\n" + "\r\n" + Row("2") + "\n"), Padded("1") + Padded("2"));
    EXPECT_EQ(iFc, 2);
}

TEST_F(Extraction, TextAndNonFiniteFieldsAreRecordsButNotTheExtreme) {
    std::string body =
        Row("speed") + Row("   ") + Row("inf") + Row("nan") + Row("-1e999") + Row("-4");
    EXPECT_EQ(Extract(body).size(), 6u * 23);
    EXPECT_EQ(iFc, 6);
    EXPECT_EQ(extreme, -4.0);
    EXPECT_EQ(czytaj(1), 0.0);
    EXPECT_TRUE(std::isinf(czytaj(3)));
}

TEST_F(Extraction, TheTimeColumnComesAlongAndIsReadInOrder) {
    // Times (column 1) with a step back and a gap; samples with their extremes twice and a NaN.
    std::vector<std::pair<std::string, std::string>> rows = {
        {"0.5", "3"}, {"1.0", "-2"}, {"0.75", "nan"}, {"2.5", "7"}, {"x", "-2"}, {"3", "7"}};
    std::string body;
    for (const auto& [time, sample] : rows) body += Line({time, sample});
    Extract(body);
    EXPECT_EQ(ReadFile(TimePath()).substr(23, 23), Padded("1.0"));
    EXPECT_EQ(RecordTime(4), 2.5);
    EXPECT_EQ(RecordTime(7), 0.0);
    EXPECT_EQ(range.minimum, -2.0);
    EXPECT_EQ(range.minimumRecord, 2);
    EXPECT_EQ(range.maximum, 7.0);
    EXPECT_EQ(range.maximumRecord, 4);

    std::vector<double> seen;
    ForEachRow(
        {timeRecordsFd, sampleRecordsFd}, {3, 6}, [&](std::int64_t record, const double* values) {
            seen.insert(seen.end(),
                        {double(record), values[0], std::isnan(values[1]) ? -99 : values[1]});
        });
    EXPECT_EQ(seen, (std::vector<double>{3, 0.75, -99, 4, 2.5, 7, 5, 0, -2, 6, 3, 7}));
    // {seconds, from record, first record at or after it with that time or later}
    for (auto [seconds, from, record] : std::vector<std::tuple<double, int, int>>{
             {-1, 1, 1}, {0.6, 1, 2}, {0.8, 3, 4}, {2.5, 1, 4}, {3, 5, 6}, {3.5, 1, 0}})
        EXPECT_EQ(FirstRecordAt(seconds, from), record) << seconds;
    // {from record, up to seconds, last record}: the first record counts whatever its time; 0
    // for no records.
    for (auto [from, seconds, last] : std::vector<std::tuple<int, double, int>>{
             {1, 0.9, 1}, {1, 1, 3}, {2, 0.1, 2}, {4, 3, 6}, {4, 2.9, 5}, {6, -5, 6}, {7, 9, 0}})
        EXPECT_EQ(RecordsUpTo(from, seconds).last, last) << from << " " << seconds;

    Extract(body, kTimeColumn);  // the times are the samples
    EXPECT_EQ(RecordTime(2), 1.0);
    EXPECT_EQ(range.maximumRecord, 6);
}

TEST_F(Extraction, FirstSampleOfTheLargestMagnitudeWins) {
    Extract(Row("-5") + Row("5"));
    EXPECT_EQ(extreme, -5.0);
    Extract(Row("5") + Row("-5"));
    EXPECT_EQ(extreme, 5.0);
    Extract(Row("0") + Row("-0"));
    EXPECT_EQ(extreme, 0.0);
}

TEST_F(Extraction, LogsWithoutDataLinesGiveAnEmptyTempFile) {
    for (const std::string& whole : {std::string(), std::string(100, 'H'), Header()}) {
        std::string log = work.File("log.dat");
        WriteFile(log, whole);
        std::string error;
        EXPECT_EQ(MakeTempFile(log.c_str(), 2, &error), 0.0);
        EXPECT_EQ(error, "");
        EXPECT_EQ(iFc, 0);
        EXPECT_EQ(ReadFile(TempPath()), "");
    }
}

TEST_F(Extraction, UnopenableLogIsReportedAndLeavesNoTempFile) {
    std::string error;
    std::string missing = work.File("missing.dat");
    MakeTempFile(missing.c_str(), 2, &error);
    EXPECT_EQ(error, "plovo: cannot open log '" + missing + "': No such file or directory");
    MakeTempFile(work.path.c_str(), 2, &error);
    EXPECT_EQ(error, "plovo: cannot open log '" + work.path + "': Is a directory");
    EXPECT_TRUE(tmp.Entries().empty());
    EXPECT_EQ(TempPath(), "");
}

TEST_F(Extraction, TempFileIsPrivateAndUnique) {
    Extract(Row("1"));
    std::string first = TempPath();
    EXPECT_EQ(first.rfind(tmp.path + "/plovo-", 0), 0u);
    EXPECT_EQ(first.substr(first.size() - 4), ".dat");
    std::string times = TimePath();
    EXPECT_EQ(times.substr(times.size() - 5), ".time");
    for (const std::string& path : {first, times}) {
        struct stat status;
        ASSERT_EQ(stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u);
    }
    Extract(Row("2"));  // a second extraction replaces the first files
    EXPECT_NE(first, TempPath());
    EXPECT_EQ(tmp.Entries().size(), 2u);
    Extract(Row("3"), kTimeColumn);  // the samples are the times: one file
    EXPECT_EQ(tmp.Entries().size(), 1u);
}

TEST_F(Extraction, UnwritableTempFileIsReportedAndRemoved) {
    std::string log = work.File("log.dat");
    std::string body;
    for (int i = 0; i < 100000; ++i) body += Row(std::to_string(i));
    WriteFile(log, Header() + body);
    std::string error;

    setenv("TMPDIR", work.File("no-such-dir").c_str(), 1);
    MakeTempFile(log.c_str(), 2, &error);
    EXPECT_EQ(error, "plovo: cannot create temporary file in '" + work.File("no-such-dir") +
                         "': No such file or directory");

    setenv("TMPDIR", tmp.path.c_str(), 1);
    UnderSizeLimit(4096, [&] { MakeTempFile(log.c_str(), 2, &error); });
    EXPECT_EQ(error.rfind("plovo: cannot write temporary file '" + tmp.path + "/plovo-", 0), 0u)
        << error;
    EXPECT_TRUE(tmp.Entries().empty());
    EXPECT_EQ(iFc, 0);
}

TEST_F(Extraction, AFollowerTakesCompleteLinesAndStartsOverOnANewLog) {
    std::string log = work.File("run.dat"), row = Row("-3");
    WriteFile(log, Header() + Row("5") + row.substr(0, 30));
    LogExtraction follower(log.c_str(), {ColumnChannel(2)});
    std::string error;
    ASSERT_TRUE(follower.Start(true, &error));
    sampleRecordsFd = follower.file(0);
    timeRecordsFd = follower.timeFile();
    EXPECT_EQ(follower.records(), 1);
    auto append = [&](const std::string& bytes) { AppendFile(log, bytes); };
    auto rewrite = [&](const std::string& bytes) {  // until a coarse clock gives it a new time
        auto seen = std::filesystem::last_write_time(log);
        while (std::filesystem::last_write_time(log) == seen) WriteFile(log, bytes);
    };
    const auto noDeadline = std::chrono::steady_clock::time_point::max();
    // Runs of 60 rows and more, longer than the pieces of the file kept to tell a new run.
    auto rows = [](const std::string& first, int count, const std::string& then) {
        std::string text = Header();
        for (int i = 0; i < count; ++i) text += Row(i < 30 ? first : then);
        return text;
    };
    auto repeated = [](const std::string& field, int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += " " + field;
        return text;
    };
    struct Step {
        std::function<void()> change;
        std::string records;
        double extreme;
        bool startedOver;
        std::string notice;  // after "plovo: '<log>' "
    };
    std::vector<Step> steps = {
        {[&] { append(row.substr(30)); }, "5 -3", 5, false, ""},
        {[&] { append(Row("2", "\r\n")); }, "5 -3 2", 5, false, ""},
        {[&] { WriteFile(log, Header().substr(0, 100)); }, "", 0, true,
         "was truncated: starting over"},
        {[&] { append(Header().substr(100) + Row("0.5")); }, "0.5", 0.5, false, ""},
        // New runs written in place past what was read, and to the same size.
        {[&] { WriteFile(log, Header() + Row("4") + Row("4") + Row("4")); }, "4 4 4", 4, true,
         "was rewritten: starting over"},
        {[&] { rewrite(Header() + Row("6") + Row("6") + Row("6")); }, "6 6 6", 6, true,
         "was rewritten: starting over"},
        {[&] {
             WriteFile(log + ".new", Header() + Row("7") + Row("8"));
             std::rename((log + ".new").c_str(), log.c_str());
         },
         "7 8", 8, true, "was replaced: following the new file"},
        {[&] { WriteFile(log, rows("1", 60, "2")); }, repeated("1", 30) + repeated("2", 30), 2,
         true, "was rewritten: starting over"},
        // A new run that shares the old one's last 4 KiB and is longer: told by its head.
        {[&] { rewrite(rows("3", 61, "2")); }, repeated("3", 30) + repeated("2", 31), 3, true,
         "was rewritten: starting over"},
        {[&] { std::remove(log.c_str()); }, repeated("3", 30) + repeated("2", 31), 3, false,
         "has become inaccessible"},  // kept while the path is empty
        {[&] { WriteFile(log, Header() + Row("-9") + "  1"); }, "-9", -9, true,
         "was replaced: following the new file"}};
    for (const Step& step : steps) {
        step.change();
        FollowResult result = follower.Follow(noDeadline, &error);
        EXPECT_EQ(result.notice, step.notice.empty() ? "" : "plovo: '" + log + "' " + step.notice)
            << step.records;
        std::string expected, field;
        for (std::istringstream fields(step.records); fields >> field;) expected += Padded(field);
        EXPECT_EQ(ReadFile(follower.path(0)), expected) << step.records;
        EXPECT_EQ(ReadFile(follower.timePath()).size(), expected.size());
        EXPECT_EQ(follower.records() * 23u, expected.size());
        EXPECT_EQ(follower.extreme(), step.extreme);
        EXPECT_EQ(result.startedOver, step.startedOver) << step.records;
    }
    // A burst is taken a block per call when the time is up.
    std::string burst;
    for (int i = 0; i < 2000; ++i) burst += Row(std::to_string(i));
    append(burst);
    follower.Follow(std::chrono::steady_clock::time_point(), &error);
    EXPECT_LT(follower.records(), 1500);
    follower.Follow(noDeadline, &error);
    EXPECT_EQ(follower.records(), 2001);
    EXPECT_EQ(error, "");

    // A full disk: following stops, the records taken stay, and so do their extreme and range.
    append(burst + Row("5000"));
    FollowResult result;
    UnderSizeLimit(2001 * 23 + 100, [&] { result = follower.Follow(noDeadline, &error); });
    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(follower.following());
    EXPECT_EQ(error, "plovo: stopped following '" + log +
                         "': cannot write the temporary file: File too large");
    EXPECT_EQ(follower.records(), 2001);
    EXPECT_EQ(ReadFile(follower.path(0)).size(), 2001u * 23);
    EXPECT_EQ(czytaj(2001), 1999.0);
    EXPECT_EQ(follower.extreme(), 1999.0);
    EXPECT_EQ(follower.range().maximumRecord, 2001);

    // A path naming a file that cannot be opened stops following too, with the reason.
    LogExtraction again(log.c_str(), {ColumnChannel(2)});
    ASSERT_TRUE(again.Start(true, &error));
    std::remove(log.c_str());
    std::filesystem::create_directory(log);
    EXPECT_TRUE(again.Follow(noDeadline, &error).stopped);
    EXPECT_EQ(error, "plovo: stopped following '" + log + "': cannot read the log: Is a directory");
}

TEST_F(Extraction, DerivedChannelsFollowTheirFormulasRecordByRecord) {
    // {t, v, F} per line (columns 1, 2 and 6): a step back in time, a NaN velocity, a short line
    // (no column 6: F reads as 0), CRLF, and equal times.
    struct Input {
        std::string t, v, f, eol;
    };
    std::vector<Input> lines = {{"0.0", "10", "100", "\n"},  {"0.5", "12", "120", "\r\n"},
                                {"0.4", "13", "130", "\n"},  {"1.0", "nan", "50", "\n"},
                                {"1.5", "14", "", "\n"},     {"1.5", "15", "10", "\n"},
                                {"2.0", "-2.5", "1e2", "\n"}};
    std::string body;
    for (const Input& in : lines) {
        std::vector<std::string> fields = {in.t, in.v, "0", "0", "0"};
        if (!in.f.empty()) fields.push_back(in.f);
        body += Line(fields, in.eol);
    }
    std::string log = work.File("derived.dat");
    WriteFile(log, Header() + body);
    std::vector<Channel> channels = ChannelsNamed("traction");  // force, power, energy
    channels.push_back(ChannelsNamed("dist")[0]);
    LogExtraction extraction(log.c_str(), channels);
    std::string error;
    ASSERT_TRUE(extraction.Start(false, &error)) << error;

    // The formulas, repeated as a script would: a step adds nothing where time does not go on or
    // a number it uses is not finite.
    double d = 0, e = 0, tp = 0, vp = 0, pp = 0;
    std::string distance, power, energy;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        double t = std::atof(lines[k].t.c_str()), v = std::atof(lines[k].v.c_str());
        double p = std::atof(lines[k].f.c_str()) * v;
        auto usable = [&](double a, double b) {
            return t > tp && std::isfinite(t) && std::isfinite(tp) && std::isfinite(a) &&
                   std::isfinite(b);
        };
        if (k > 0 && usable(v, vp)) d = d + (t - tp) * (v + vp) * 0.5;
        if (k > 0 && usable(p, pp)) e = e + (t - tp) * (p + pp) * 0.5 / 3600;
        distance += Computed(d);
        power += Computed(p);
        energy += Computed(e);
        tp = t, vp = v, pp = p;
    }
    EXPECT_EQ(ReadFile(extraction.path(3)), distance);
    EXPECT_EQ(ReadFile(extraction.path(1)), power);
    EXPECT_EQ(ReadFile(extraction.path(2)), energy);
    EXPECT_EQ(ReadFile(extraction.path(0)).substr(0, 23), Padded("100"));  // measured as written
    EXPECT_EQ(ReadFile(extraction.timePath()).size(), lines.size() * 23);
}

TEST_F(Extraction, AFollowedDistanceGoesOnAcrossNewLinesAndStartsOverWithANewRun) {
    std::string log = work.File("run.dat"), third = Line({"2", "6"});
    WriteFile(log, Header() + Line({"0", "2"}) + Line({"1", "4"}) + third.substr(0, 30));
    LogExtraction follower(log.c_str(), ChannelsNamed("distance"));
    std::string error;
    ASSERT_TRUE(follower.Start(true, &error)) << error;
    const auto noDeadline = std::chrono::steady_clock::time_point::max();
    // {change, the distance records after it (m)}
    std::vector<std::pair<std::function<void()>, std::string>> steps = {
        {[] {}, "0 3"},
        {[&] { AppendFile(log, third.substr(30)); }, "0 3 8"},  // the half line completed
        {[&] {
             AppendFile(log, Line({"3", "0"}) + Line({"3.5", "1"}));
         },
         "0 3 8 11 11.25"},
        {[&] {
             WriteFile(log, Header() + Line({"10", "1"}) + Line({"11", "3"}));
         },
         "0 2"}};
    for (const auto& [change, records] : steps) {
        change();
        follower.Follow(noDeadline, &error);
        std::string expected, field;
        for (std::istringstream fields(records); fields >> field;)
            expected += Computed(std::atof(field.c_str()));
        EXPECT_EQ(ReadFile(follower.path(0)), expected) << records;
    }
    EXPECT_EQ(error, "");
}

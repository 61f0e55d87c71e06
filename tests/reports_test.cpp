// The report outputs as a process writes them: the x axis's origin and titles read back from the
// PDF, units and labels, marks at the model's brakings, aligned comparisons, a figure for every
// braking, and the PNG's resolution.
#include <zlib.h>

#include <cstring>
#include <sstream>
#include <tuple>

#include "reportplot.h"
// Before the tests' helpers: the plot's Row type, then their Row().
#include "process_util.h"

namespace {
// A model run, 0.1 s a sample, times written with one decimal from `start` s: 20 m/s, a brake
// application at +10 s that stops the train at +20 s (2 m/s2), released at +35 s; away at 1 m/s2
// from +40 s, a second application at +45 s that stops it at +47.5 s; standing to +60 s.
std::string ModelRun(double start = 0) {
    std::string log = Header();
    char time[32], velocity[32];
    for (int i = 0; i < 600; ++i) {
        double t = i / 10.0;
        double v = t < 10   ? 20
                   : t < 20 ? 20 - 2 * (t - 10)
                   : t < 40 ? 0
                   : t < 45 ? t - 40
                            : std::max(0.0, 5 - 2 * (t - 45));
        bool braked = (t >= 10 && t < 35) || t >= 45;
        std::snprintf(time, sizeof time, "%.1f", start + t);
        std::snprintf(velocity, sizeof velocity, "%.4f", v);
        log += Line({time, velocity, "0", "0.6", "0", "0", "0", "0", braked ? "0.3" : "0",
                     braked ? "0.35" : "0.5", "0"});
    }
    return log;
}

// A word of a PDF's page and the middle of its box, in points from the top left.
struct Word {
    std::string text;
    double x, y;
};

// The words of a PDF's page as pdftotext -bbox reads them.
std::vector<Word> PdfWords(const std::string& pdf) {
    std::string out = pdf + ".html";
    EXPECT_EQ(std::system(("pdftotext -bbox '" + pdf + "' '" + out + "'").c_str()), 0);
    std::vector<Word> words;
    std::string html = ReadFile(out);
    auto number = [&](std::size_t at, const char* name) {
        return std::atof(html.c_str() + html.find(name, at) + std::strlen(name));
    };
    for (std::size_t at = html.find("<word "); at != std::string::npos;
         at = html.find("<word ", at + 1)) {
        std::size_t open = html.find('>', at) + 1;
        words.push_back({html.substr(open, html.find('<', open) - open),
                         (number(at, "xMin=\"") + number(at, "xMax=\"")) / 2,
                         (number(at, "yMin=\"") + number(at, "yMax=\"")) / 2});
    }
    std::remove(out.c_str());
    return words;
}

// The PDF's text, its words in reading order.
std::string PdfText(const std::string& pdf) {
    std::string text;
    for (const Word& word : PdfWords(pdf)) text += word.text + " ";
    return text;
}

// The x axis's tick labels, left to right: the row of words above its title (the last row).
std::vector<Word> XTicks(const std::vector<Word>& words) {
    double title = 0, row = 0;
    for (const Word& word : words) title = std::max(title, word.y);
    for (const Word& word : words)
        if (word.y < title - 1) row = std::max(row, word.y);
    std::vector<Word> ticks;
    for (const Word& word : words)
        if (std::fabs(word.y - row) < 1) ticks.push_back(word);
    std::sort(ticks.begin(), ticks.end(), [](const Word& a, const Word& b) { return a.x < b.x; });
    return ticks;
}
}  // namespace

TEST_F(Process, TheXAxisCountsFromTheOriginItsTitleNames) {
    WriteIni("");
    std::string log = work.File("model.dat"), pdf = work.File("p.pdf");
    WriteFile(log, ModelRun(280));
    struct Case {
        std::vector<std::string> options;
        std::string title;      // the x axis's
        std::string firstTick;  // its first label
    } cases[] = {
        {{}, "Time [s]", "285"},
        {{"--origin", "start"}, "Time since 285 s [s]", "0"},
        {{"--origin", "brake"}, "Time since brake application [s]", "-5"},
        {{"--origin", "brake", "--x", "distance"}, "Distance since brake application [m]", "-100"},
        {{"--origin", "brake", "--x", "dist", "--units", "km"},
         "Distance since brake application [km]",
         "-0.10"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--at", "285", "--to", "310", "--plot", pdf, log, "2"};
        args.insert(args.begin(), c.options.begin(), c.options.end());
        Outcome outcome = Run(args);
        ASSERT_EQ(outcome.status, 0) << outcome.errors;
        std::string text = PdfText(pdf);
        EXPECT_NE(text.find(c.title), std::string::npos) << text;
        std::vector<Word> ticks = XTicks(PdfWords(pdf));
        ASSERT_FALSE(ticks.empty()) << text;
        EXPECT_EQ(ticks[0].text, c.firstTick) << text;
    }
    // The export's time and distance count from the same origins, the times with their own one
    // decimal: from the extraction for the brake application, as the log is read from the
    // stretch's start. (The distance's sums carry many decimals; their differences keep them.)
    for (auto [origin, times, distances] :
         {std::tuple<const char*, const char*, std::vector<double>>{
              "brake", "-0.1 0 0.1 ", {-2, 0, 1.99}},
          {"start", "0 0.1 0.2 ", {0, 2, 3.99}}}) {
        Outcome outcome = Run({"--export", "-", "--at", "289.9", "--to", "290.1", "--origin",
                               origin, log, "velocity,distance"});
        std::istringstream rows(outcome.output);
        std::string row, read;
        std::getline(rows, row);
        EXPECT_EQ(row, "time,velocity,distance") << outcome.errors;
        for (double distance : distances) {
            std::getline(rows, row);
            read += row.substr(0, row.find(',')) + " ";
            EXPECT_NEAR(std::atof(row.c_str() + row.rfind(',') + 1), distance, 1e-9) << row;
        }
        EXPECT_EQ(read, times) << origin;
    }
    // No application starts in 300 to 320 s: the first is under way already.
    Outcome none = Run({"--at", "300", "--to", "320", "--origin", "brake", "--plot", pdf, log});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.errors, "plovo: no brake application starts in 300-320 s of '" + log +
                               "' (brake_on 0.05 MPa): --origin brake draws from one\n");
}

TEST_F(Process, UnitsAndLabelsAreTheReadersInEveryOutput) {
    WriteIni("");
    std::string log = work.File("model.dat");
    WriteFile(log, ModelRun());
    // The export's values converted once, its time from the first sample, its names as they were.
    Outcome exported =
        Run({"--export", "-", "--at", "19.8", "--to", "20", "--origin", "start", "--units",
             "km/h,bar,kN", log, "velocity,brake-pressure,coupler-force"});
    EXPECT_EQ(exported.output,
              "time,velocity,brake-pressure,coupler-force\n0,1.44,3,0\n0.1,0.72,3,0\n0.2,0,3,0\n");
    // 20 m/s, 0.3 MPa; 3.6 times 0.7 m/s is 2.52 km/h exactly, where the product of doubles is
    // 2.5200000000000005.
    Outcome stats = Run({"--stats", "--units", "km/h", "--label", "velocity=Speed", log, "2"});
    EXPECT_NE(stats.output.find("chart: 2 Speed [km/h]\n"), std::string::npos) << stats.output;
    EXPECT_NE(stats.output.find("max: 72 at sample 1 (0 s)\n"), std::string::npos);
    Outcome slow = Run({"--export", "-", "--at", "40.7", "--to", "40.7", "--units", "km/h", log});
    EXPECT_EQ(slow.output, "time,velocity\n40.7,2.52\n");

    std::string pdf = work.File("p.pdf");
    Outcome plot = Run({"--plot", pdf, "--to", "60", "--units", "KM/H,bar", "--label",
                        "brake-p=Brake cylinder", "--label", "10=Pipe [kPa]", log,
                        "velocity,brake-pressure,pipe-pressure"});
    ASSERT_EQ(plot.status, 0) << plot.errors;
    std::string text = PdfText(pdf);
    for (const char* label : {"Velocity [km/h]", "Brake cylinder [bar]", "Pipe [kPa]"})
        EXPECT_NE(text.find(label), std::string::npos) << label << " in " << text;

    // A unit that fits no chart type shown, and a label for one, are refused before the log is
    // read.
    Outcome unfit = Run({"--plot", pdf, "--units", "km/h,bar", log, "velocity,motor-current"});
    EXPECT_EQ(unfit.status, 1);
    EXPECT_EQ(unfit.errors.substr(0, unfit.errors.find('\n')),
              "plovo: --units bar is for brake-pressure and pipe-pressure, and the chart types "
              "shown are velocity, motor-current");
    Outcome stray = Run({"--stats", "--label", "9=Brake", log, "2"});
    EXPECT_EQ(stray.errors.substr(0, stray.errors.find('\n')),
              "plovo: --label brake-pressure='Brake' labels a chart type that no plot nor --stats "
              "shows");
}

TEST_F(Process, MarksStandAtTheModelsBrakingsAndStops) {
    WriteIni("");
    std::string log = work.File("model.dat"), pdf = work.File("p.pdf");
    WriteFile(log, ModelRun());
    Outcome outcome = Run({"--marks", "--at", "0", "--to", "60", "--plot", pdf, "--plot-size",
                           "1200x500", log, "velocity"});
    ASSERT_EQ(outcome.status, 0) << outcome.errors;
    std::vector<Word> words = PdfWords(pdf);
    std::string text = PdfText(pdf);
    EXPECT_NE(text.find("brake 1 "), std::string::npos) << text;
    EXPECT_NE(text.find("brake 2 "), std::string::npos) << text;
    // The time axis from its first two ticks; the lines stand at 10, 20, 45 and 47.5 s, each
    // label just right of its own.
    std::vector<Word> ticks = XTicks(words);
    ASSERT_GE(ticks.size(), 2u);
    double first = std::atof(ticks[0].text.c_str()), second = std::atof(ticks[1].text.c_str());
    double step = (ticks[1].x - ticks[0].x) / (second - first), zero = ticks[0].x - first * step;
    std::vector<Word> labels;
    for (const Word& word : words)
        if (word.text == "brake" || word.text == "stop") labels.push_back(word);
    ASSERT_EQ(labels.size(), 4u) << text;
    std::sort(labels.begin(), labels.end(), [](const Word& a, const Word& b) { return a.x < b.x; });
    std::pair<double, const char*> marks[] = {
        {10, "brake"}, {20, "stop"}, {45, "brake"}, {47.5, "stop"}};
    for (int i = 0; i < 4; ++i) {
        double line = zero + step * marks[i].first;
        EXPECT_EQ(labels[i].text, marks[i].second);
        // "brake" starts a few points right of its line; "stop" is its whole label.
        EXPECT_GT(labels[i].x, line) << marks[i].first;
        EXPECT_LT(labels[i].x, line + 25) << marks[i].first;
    }
}

TEST_F(Process, AComparedRunIsAlignedAtItsTimeOrItsBraking) {
    WriteIni("");
    std::string log = work.File("model.dat"), other = work.File("later.dat");
    WriteFile(log, ModelRun(280));
    WriteFile(other, ModelRun(1000));  // the same run, 720 s later
    std::string png = work.File("p.png");
    // Orange pixels: the compared run where the first does not cover it.
    auto orange = [&] {
        int count = 0;
        for (std::uint32_t colour : PngColours(png)) count += colour == 0xd95e00;
        return count;
    };
    std::vector<std::string> stretch = {"--at", "285", "--to", "310", "--plot", png, log, "2"};
    auto with = [&](std::vector<std::string> options) {
        options.insert(options.end(), stretch.begin(), stretch.end());
        return Run(options);
    };
    // On the log's own time the other run shows nothing: said once, and in the legend.
    Outcome apart = with({"--compare", other});
    EXPECT_EQ(apart.status, 0);
    EXPECT_EQ(apart.errors,
              "plovo: '" + other + "' has no samples in 285-310 s; nothing drawn for it\n");
    Outcome legend = with({"--compare", other, "--plot", work.File("p.pdf")});
    EXPECT_NE(PdfText(work.File("p.pdf")).find("later.dat: no samples"), std::string::npos);
    // Aligned at 1005 s with the stretch's start, or at its first application from 1001 s on
    // with this run's: the same run drawn over itself.
    for (std::vector<std::string> aligned :
         {std::vector<std::string>{"--compare", other + "@1005"},
          {"--compare", other + "@1001", "--origin", "brake"},
          {"--compare", other + "@1005", "--origin", "start", "--x", "distance"}}) {
        Outcome outcome = with(aligned);
        EXPECT_EQ(outcome.status, 0) << outcome.errors;
        EXPECT_EQ(outcome.errors, "");
        EXPECT_LT(orange(), 150) << aligned.back();  // the legend's line and name
    }
    // Aligned elsewhere it shows beside it.
    EXPECT_EQ(with({"--compare", other + "@1010"}).status, 0);
    EXPECT_GT(orange(), 500);
    Outcome late = with({"--compare", other + "@1046", "--origin", "brake"});
    EXPECT_EQ(late.status, 1);
    EXPECT_EQ(late.errors,
              "plovo: '" + other + "' has no brake application at or after 1046 s to align with\n");
}

TEST_F(Process, AFigureForEveryBrakingInOnePass) {
    WriteIni("");
    std::string log = work.File("model.dat");
    WriteFile(log, ModelRun());
    std::filesystem::create_directory(work.File("figures"));
    Outcome outcome = Run({"--plot-brakings", work.File("figures/b-%n.pdf"), "--plot-brakings",
                           work.File("figures/b-%n.png"), "--before", "5", "--after", "2", log});
    ASSERT_EQ(outcome.status, 0) << outcome.errors;
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(work.File("figures")))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"b-1.pdf", "b-1.png", "b-2.pdf", "b-2.png"}));
    // The second: 40 to 49.5 s, its own application at 0 and the stop marked; the first one's
    // end at 34.9 s is before it, so no other mark.
    std::string second = PdfText(work.File("figures/b-2.pdf"));
    for (const char* part :
         {"model.dat - braking 2 at 45 s", "brake 2", "stop", "Velocity [m/s]", "BrakePress [MPa]",
          "PipePress [MPa]", "Time since brake application [s]"})
        EXPECT_NE(second.find(part), std::string::npos) << part << " in " << second;
    EXPECT_EQ(second.find("brake 1"), std::string::npos) << second;
    std::vector<Word> ticks = XTicks(PdfWords(work.File("figures/b-2.pdf")));
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front().text, "-4");  // from 5 s before
    EXPECT_EQ(ticks.back().text, "4");    // to 2 s after the stop at 2.5 s

    // A log without a braking: said, and nothing written.
    WriteFile(log, Header() + Line({"0", "5", "0", "0", "0", "0", "0", "0", "0"}));
    Outcome none = Run({"--plot-brakings", work.File("none-%n.pdf"), log});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(
        none.errors,
        "plovo: '" + log + "' has no brake application (brake_on 0.05 MPa): no figure written\n");
    EXPECT_FALSE(std::filesystem::exists(work.File("none-1.pdf")));
    // --brake-on over plovo.ini's: from 0.5 MPa the model brakes nowhere either.
    WriteFile(log, ModelRun());
    WriteIni("[analysis]\nbrake_on = 0,05\n");  // refused when used, but overridden
    Outcome high = Run({"--plot-brakings", work.File("none-%n.pdf"), "--brake-on", "0.5", log});
    EXPECT_EQ(high.status, 0) << high.errors;
    EXPECT_NE(high.errors.find("(brake_on 0.5 MPa)"), std::string::npos) << high.errors;
}

TEST_F(Process, APlotsPngPastesSixteenCentimetresWide) {
    WriteIni("");
    std::string log = work.File("model.dat"), png = work.File("p.png");
    WriteFile(log, ModelRun());
    struct Case {
        std::vector<std::string> options;
        std::uint32_t perMetre;  // pixels
    } cases[] = {{{}, 5000},     // 800 px in 16 cm: 127 dpi
                 {{"--plot-size", "1600x1000"}, 10000},
                 {{"--dpi", "300"}, 11811}};
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--plot", png, "--to", "60", log};
        args.insert(args.begin(), c.options.begin(), c.options.end());
        ASSERT_EQ(Run(args).status, 0);
        // The chunk right after the header: both ways, the metre its unit, its CRC right.
        std::string bytes = ReadFile(png);
        ASSERT_EQ(bytes.substr(37, 4), "pHYs");
        auto big = [&](std::size_t at) {
            const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
            return std::uint32_t(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
        };
        EXPECT_EQ(big(33), 9u);
        EXPECT_EQ(big(41), c.perMetre);
        EXPECT_EQ(big(45), c.perMetre);
        EXPECT_EQ(bytes[49], 1);
        EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 37), 13), big(50));
        // ImageMagick reads it as a resolution, and cairo reads the picture.
        FILE* identify = popen(("identify -format '%U' '" + png + "'").c_str(), "r");
        char read[64] = "";
        EXPECT_NE(std::fgets(read, sizeof read, identify), nullptr);
        pclose(identify);
        EXPECT_EQ(std::string(read), "PixelsPerCentimeter");
        EXPECT_EQ(PngColours(png).size(), 800u * 500 * (c.perMetre == 10000 ? 4 : 1));
    }
}

TEST_F(PlovoTest, SavePlotFindsTheBrakingsItselfWhenItIsNotGivenThem) {
    // As the explorer calls it: a request, the records of its extraction, and no pass of brakings.
    std::string log = work.File("model.dat"), pdf = work.File("p.pdf");
    WriteFile(log, ModelRun(280));
    PlotRequest request;
    request.paths = {pdf};
    request.origin = Origin::kBrake;
    request.marks = true;
    request.x = XAxis::kDistance;
    request.compare = log;
    request.compareAt = 300;  // its second application, at 325 s, over the first
    LogExtraction extraction(log, ExtractedChannels({ColumnChannel(2)}, request.x));
    std::string error, notice = "stale";
    ASSERT_TRUE(extraction.Start(false, &error)) << error;
    ASSERT_TRUE(
        SavePlot(request, {50, 250}, log, {ColumnChannel(2)}, extraction, &error, nullptr, &notice))
        << error;
    EXPECT_EQ(notice, "");
    std::string text = PdfText(pdf);
    for (const char* part : {"Distance since brake application [m]", "brake 1", "stop"})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
    // Records 50 to 250 hold no application's start from 300 s on: refused.
    request.compareAt.reset();
    EXPECT_FALSE(SavePlot(request, {150, 250}, log, {ColumnChannel(2)}, extraction, &error));
    EXPECT_EQ(error.substr(0, 43), "plovo: no brake application starts in 294.9");
}

TEST_F(PlovoTest, AnAlignedComparedRunHasItsSampleAtTExactlyWhereTheStretchStarts) {
    // 29970.44799999997 - (29970.44799999997 - 910.3350649999999) is 910.3350649999993 in
    // doubles: shifted so, the compared run's sample at T would fall left of the stretch and be
    // left out, here its only one there.
    std::string log = work.File("a.dat"), other = work.File("b.dat");
    WriteFile(log, Header() + Line({"910.3350649999999", "5"}) + Line({"911.3350649999999", "6"}));
    WriteFile(other,
              Header() + Line({"29960.44799999997", "1"}) + Line({"29970.44799999997", "7"}));
    PlotRequest request;
    request.paths = {work.File("p.png")};
    request.compare = other;
    request.compareAt = 29970.44799999997;
    LogExtraction extraction(log, ExtractedChannels({ColumnChannel(2)}, request.x));
    std::string error, notice;
    ASSERT_TRUE(extraction.Start(false, &error)) << error;
    ASSERT_TRUE(
        SavePlot(request, {1, 2}, log, {ColumnChannel(2)}, extraction, &error, nullptr, &notice))
        << error;
    EXPECT_EQ(notice, "");
}

TEST_F(Process, AnEndingSignalWhileTheBrakingsAreDrawnLeavesNothingHalfWritten) {
    WriteIni("");
    // 200 runs of the model, one after another: 400 brakings.
    std::string log = Header();
    for (int run = 0; run < 200; ++run) {
        std::string one = ModelRun(60.0 * run);
        log += one.substr(kHeaderSize);
    }
    WriteFile(work.File("day.dat"), log);
    std::filesystem::create_directory(work.File("figures"));
    Outcome outcome = Run(
        {"--plot-brakings", work.File("figures/b-%n.png"), work.File("day.dat")}, {},
        [&](pid_t pid) {
            // Once three figures are written, in whatever order they came.
            auto written = [&] {
                std::size_t figures = 0;
                for (const auto& entry : std::filesystem::directory_iterator(work.File("figures")))
                    figures += entry.path().filename().string()[0] == 'b';
                return figures;
            };
            for (int wait = 0; wait < 10000 && written() < 3; ++wait) usleep(1000);  // 10 s at most
            kill(pid, SIGTERM);
        });
    EXPECT_EQ(outcome.status, 128 + SIGTERM);
    std::size_t written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(work.File("figures"))) {
        std::string name = entry.path().filename().string();
        EXPECT_EQ(name.rfind(".plovo-", 0), std::string::npos) << name;   // no sibling
        EXPECT_FALSE(PngColours(entry.path().string()).empty()) << name;  // each whole
        ++written;
    }
    EXPECT_GE(written, 3u);
    EXPECT_LT(written, 400u);
}

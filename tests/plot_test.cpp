// The report picture: options' parsing, ranges, ticks and their labels, decimation, layout, the
// compared run's stretch, and each format written and read back.
#include "plot.h"

#include <cairo.h>

#include <cfloat>
#include <cmath>

#include "decimator.h"
#include "number.h"
#include "test_util.h"
#include "text.h"

namespace {
// A run of records given as {x, value for each panel ...}.
Series Records(std::vector<std::vector<double>> rows) {
    return [rows](const RowVisit& visit) {
        for (const std::vector<double>& row : rows) visit({row[0], row.data() + 1, true});
    };
}

// A one-panel run of the samples given, one per 0.1 s from `start` seconds.
Series Samples(const std::vector<double>& values, double start = 0.0) {
    std::vector<std::vector<double>> rows;
    for (std::size_t i = 0; i < values.size(); ++i) rows.push_back({start + i * 0.1, values[i]});
    return Records(rows);
}

struct PenPoint {
    double x, y;
    bool move;
};
}  // namespace

TEST(PlotOptions, FormatAndLabels) {
    // {name, format, or -1 for one the plots do not write}
    std::vector<std::pair<std::string, int>> formats = {{"a.png", int(Format::kPng)},
                                                        {"b/A.SVG", int(Format::kSvg)},
                                                        {"x.Pdf", int(Format::kPdf)},
                                                        {"a.jpg", -1},
                                                        {"a.bmp", -1},
                                                        {"png", -1},
                                                        {"d.png/x", -1},
                                                        {"a.png.", -1},
                                                        {"", -1}};
    for (const auto& [path, expected] : formats) {
        Format format = Format::kPng;
        std::string error;
        EXPECT_EQ(FormatOf(path, FormatUse::kPlot, &format, &error) ? static_cast<int>(format) : -1,
                  expected)
            << path;
        EXPECT_EQ(error.empty(), expected >= 0) << path;
    }
    std::string error;
    Format format;
    FormatOf("r.jpg", FormatUse::kPlot, &format, &error);
    EXPECT_EQ(error,
              "plovo: cannot write a plot as 'r.jpg': the name must end in .png, .svg or .pdf");

    EXPECT_EQ(PlotLabel(ColumnChannel(11)), "MotorCurrent [A]");
    EXPECT_EQ(PlotTitle({PlotLabel(ColumnChannel(2))}, "/data/run17.dat"),
              "Velocity [m/s] - run17.dat");
    EXPECT_EQ(PlotTitle({PlotLabel(ColumnChannel(12))}, "a\x1b.dat"), "Column 12 - a\\x1b.dat");
    EXPECT_EQ(PlotTitle({"a", "b"}, "/data/run17.dat"), "run17.dat");
    EXPECT_EQ(PlotLabel(ChannelsNamed("distance")[0]), "Distance [m]");
    // What the plot draws is UTF-8: stray bytes escaped, broken and overlong sequences, surrogates
    // and C1 controls included; Czech and Polish letters stay.
    EXPECT_EQ(
        PrintableUtf8(
            "\xe9t\xe9 jízda_ř żółć\xc5\xe2\x82\xf0\x9d\x84 \xc0\xaf\xed\xa0\x80\xc2\x9b\xff"),
        "\\xe9t\\xe9 jízda_ř żółć\\xc5\\xe2\\x82\\xf0\\x9d\\x84 "
        "\\xc0\\xaf\\xed\\xa0\\x80\\xc2\\x9b\\xff");
}

TEST(PlotRanges, FitTheFiniteSamplesWithAMargin) {
    struct Case {
        double lo, hi, margin, fitLo, fitHi;
    } cases[] = {{0, 10, 0.05, -0.5, 10.5},
                 {22, 22, 0.05, 19.8, 24.2},
                 {0, 0, 0.05, -1, 1},
                 {-4, -4, 0, -4.4, -3.6},
                 {1e6, 1e6 + 1e-8, 0, 9e5, 1.1e6},
                 {1e9, 1e9 + 1, 0, 1e9, 1e9 + 1},  // a second of a long-running clock
                 {1e15, 1e15 + 200, 0, 1e15, 1e15 + 200},
                 {1e15, 1e15 + 8, 0, 9e14, 1.1e15},
                 {-DBL_MAX, DBL_MAX, 0.05, -DBL_MAX, DBL_MAX},
                 {270, 329.9, 0, 270, 329.9},
                 {5e-324, 5e-324, 0, -1e-290, 1e-290}};
    for (const Case& c : cases) {
        Range range = FitRange(c.lo, c.hi, c.margin);
        double within = (c.fitHi - c.fitLo) * 1e-6;  // of the axis
        EXPECT_NEAR(range.lo, c.fitLo, within) << c.lo << " " << c.hi;
        EXPECT_NEAR(range.hi, c.fitHi, within) << c.lo << " " << c.hi;
    }
    // Two panels; a record counts in a panel where its x and that panel's value are finite.
    PlotRanges ranges = FindRanges({Records({{NAN, 100, 1},
                                             {5, 1, NAN},
                                             {6, INFINITY, 2},
                                             {7, 3, NAN},
                                             {8, NAN, NAN},
                                             {-INFINITY, -100, -100}})},
                                   2);
    EXPECT_FALSE(ranges.empty);
    EXPECT_DOUBLE_EQ(ranges.x.lo, 5);
    EXPECT_DOUBLE_EQ(ranges.x.hi, 7);
    EXPECT_DOUBLE_EQ(ranges.y[0].lo, 0.9);
    EXPECT_DOUBLE_EQ(ranges.y[1].lo, 1.8);  // 2 alone, widened
    EXPECT_EQ(ranges.panelEmpty, (std::vector<bool>{false, false}));
    // A compared run widens the values, within the first run's x range only.
    ranges = FindRanges({Records({{10, 1}, {11, 2}}), Records({{9, -50}, {10.5, 9}, {12, 50}})}, 1);
    EXPECT_DOUBLE_EQ(ranges.x.hi, 11);
    EXPECT_DOUBLE_EQ(ranges.y[0].hi, 9.4);
    EXPECT_TRUE(FindRanges({Samples({NAN, INFINITY})}, 1).empty);
    EXPECT_EQ(FindRanges({Samples({}), Samples({1})}, 1).panelEmpty, std::vector<bool>{true});
}

TEST(PlotRanges, TheComparedRunKeepsItsRecordsWithinTheFirstRunsXRange) {
    constexpr double in = 1, out = 0;  // `follows` as the run's rows give it
    struct Case {
        std::vector<std::vector<double>> rows;  // x, follows
        std::string kept;                       // x:follows ...
    } cases[] = {
        {{{9, in}, {10, in}, {11, in}, {12, in}, {13, in}}, "10:0 11:1 12:1"},
        {{{11, in}, {13, in}, {11.5, in}, {10, in}}, "11:0 11.5:0 10:1"},  // left and came back
        {{{10, in}, {NAN, in}, {11, in}, {INFINITY, in}}, "10:0 11:0"},
        {{{10, in}, {11, out}, {12, in}}, "10:0 11:0 12:1"},  // a break of the run's own
        {{{12, in}, {12, in}, {12, in}}, "12:0 12:1 12:1"},   // standing at the end
        {{{20, in}, {-1, in}}, ""}};
    for (const Case& c : cases) {
        Series run = [&c](const RowVisit& visit) {
            for (const std::vector<double>& row : c.rows) visit({row[0], nullptr, row[1] != 0});
        };
        std::string kept;
        Within(run, 10, 12)([&](const auto& row) {
            kept += (kept.empty() ? "" : " ") + ExactText(row.x) + ":" + (row.follows ? "1" : "0");
        });
        EXPECT_EQ(kept, c.kept);
    }
}

TEST(PlotTicks, PlainLabelsThatNeverCollide) {
    std::vector<std::tuple<long long, int, std::string>> texts = {
        {0, -3, "0"},         {5, -4, "0.0005"},     {-25, -1, "-2.5"},         {20, -1, "2.0"},
        {2, 5, "200000"},     {200010, 0, "200010"}, {1000001, -1, "100000.1"}, {1, 15, "1e+15"},
        {25, -12, "2.5e-11"}, {-30, 19, "-3e+20"}};
    using Texts = std::vector<std::string>;
    for (const auto& [k, exponent, text] : texts) EXPECT_EQ(TickTexts({k}, exponent), Texts{text});
    // One form for the whole axis, never plain beside exponent form.
    EXPECT_EQ(TickTexts({1100, 1080, 1000, 980}, 12),
              (Texts{"1.10e+15", "1.08e+15", "1.00e+15", "9.80e+14"}));
    EXPECT_EQ(TickTexts({-5, 0, 5, 10}, 14), (Texts{"-5e+14", "0", "5e+14", "1e+15"}));

    LabelRoom room = {0, 700, 20, [](const std::string& text) { return 7.0 * text.size(); }};
    EXPECT_TRUE(LabelFits(room, 10, 20, -INFINITY));
    EXPECT_FALSE(LabelFits(room, 9, 20, -INFINITY));    // crosses the edge at 0
    EXPECT_FALSE(LabelFits(room, 691, 20, -INFINITY));  // and at 700
    EXPECT_TRUE(LabelFits(room, 60, 20, 30));
    EXPECT_FALSE(LabelFits(room, 59, 20, 30));  // 19 pixels from its neighbour

    struct Case {
        Range range;
        double from, to;
        std::string first, last;
        bool exponentForm = false;
    } cases[] = {{{0, 1e-6}, 40, 660, "0", "0.0000010"},
                 {{-5e6, 5e6}, 40, 660, "-4000000", "4000000"},
                 {{199970, 200030}, 40, 660, "199970", "200030"},
                 {{-0.003, 0.001}, 400, 40, "0.001", "-0.003"},  // a y axis: top first
                 {FitRange(42, 42, 0), 400, 40, "46", "38"},
                 {{0.3, 0.4}, 20, 40, "0.4", "0.4"},  // no room for two
                 {{1e9, 1e9 + 1}, 40, 660, "1000000000.2", "1000000000.8"},
                 {{9.8e14, 1.1e15}, 400, 40, "1.10e+15", "1.00e+15", true},
                 {FitRange(1e15, 1e15 + 200, 0), 400, 40, "1.0000000000001e+15",
                  "1.0000000000000e+15", true},
                 {FitRange(1e6, 1e6 + 1e-7, 0), 400, 40, "1000000.00000005", "1000000.00000000"}};
    for (const Case& c : cases) {
        std::vector<Tick> ticks = ChooseTicks(c.range, c.from, c.to, room);
        ASSERT_FALSE(ticks.empty()) << c.first;
        EXPECT_EQ(ticks.front().text, c.first);
        EXPECT_EQ(ticks.back().text, c.last);
        double step = ticks.size() > 1 ? std::fabs(ticks[1].value - ticks[0].value) : 1;
        double mantissa = step / std::pow(10, std::floor(std::log10(step)));
        // Within 1 %: near the limit of a double's digits the tick values are rounded.
        EXPECT_TRUE(std::fabs(mantissa - 1) < 0.01 || std::fabs(mantissa - 2) < 0.01 ||
                    std::fabs(mantissa - 5) < 0.01)
            << c.first << " step " << step;
        double prevEnd = -INFINITY;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const Tick& tick = ticks[i];
            double extent = room.extent(tick.text);
            EXPECT_TRUE(LabelFits(room, tick.position, extent, prevEnd)) << tick.text;
            EXPECT_EQ(tick.text.find('e') != std::string::npos, c.exponentForm) << tick.text;
            EXPECT_TRUE(i == 0 ||
                        (tick.value != ticks[i - 1].value && tick.text != ticks[i - 1].text))
                << tick.text;
            prevEnd = tick.position + extent / 2;
        }
    }
}

TEST(Decimator, KeepsEverySpikeAndTheOrderInAFewPointsAColumn) {
    std::vector<PenPoint> out;
    std::vector<std::tuple<double, double, double>> marks;  // x, top row, bottom row
    auto pen = [&](double x, double y, bool move) { out.push_back({x, y, move}); };
    auto mark = [&](double x, double top, double bottom) { marks.emplace_back(x, top, bottom); };
    Decimator decimator(100, pen, mark);
    const int samples = 1000000;
    for (int i = 0; i < samples; ++i)  // 100 columns, a spike of one sample in column 42
        decimator.Add(i * 100.0 / samples, i == 421234 ? 99.0 : 50.0 + (i % 7) * 0.1);
    decimator.Finish();
    EXPECT_LE(out.size(), 400u);
    EXPECT_TRUE(out.front().move);
    bool spike = false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        spike = spike || out[i].y == 99.0;
        if (i == 0) continue;
        EXPECT_FALSE(out[i].move) << i;
        EXPECT_GE(out[i].x, out[i - 1].x) << i;
    }
    EXPECT_TRUE(spike);

    // Lone samples between breaks become marks, merged per column; a line across columns stays.
    out.clear();
    for (auto [x, y] : {std::pair{5.2, 10.5}, {5.7, 11.2}, {5.9, 30.0}}) {
        decimator.Add(x, y);
        decimator.Break();
    }
    decimator.Add(6.1, 1.0);
    decimator.Add(7.5, 2.0);
    decimator.Finish();
    std::vector<std::tuple<double, double, bool>> expected = {{6.1, 1.0, true}, {7.5, 2.0, false}};
    ASSERT_EQ(out.size(), expected.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(std::make_tuple(out[i].x, out[i].y, out[i].move), expected[i]) << i;
    EXPECT_EQ(marks, (decltype(marks){{5.5, 10.5, 11.5}, {5.5, 30.5, 30.5}}));

    out.clear();  // a million lone samples in one column make one mark over its rows
    marks.clear();
    for (int i = 0; i < samples; ++i) {
        decimator.Add(3.5, i % 100);
        decimator.Break();
    }
    decimator.Finish();
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(marks, (decltype(marks){{3.5, 0.5, 99.5}}));
}

TEST(Decimator, WorksOnPixelColumnsWhateverTheRecordsAndDrawsAStopUpright) {
    using Points = std::vector<std::tuple<double, double, bool>>;
    struct Case {
        std::vector<std::pair<double, double>> line;
        Points drawn;
    } cases[] = {
        // Standing at x 3.3 while the value falls to 10 and comes back to 20: upright, in order.
        {{{1.2, 50}, {2.5, 40}, {3.3, 40}, {3.3, 30}, {3.3, 10}, {3.3, 35}, {3.3, 20}, {4.6, 20}},
         {{1.2, 50, true},
          {2.5, 40, false},
          {3.3, 40, false},
          {3.3, 10, false},
          {3.3, 20, false},
          {4.6, 20, false}}},
        // A line that begins standing.
        {{{2.0, 5}, {2.0, 0}, {2.0, 5}, {3.0, 5}},
         {{2.0, 5, true}, {2.0, 0, false}, {2.0, 5, false}, {3.0, 5, false}}},
        // Going back along the line (a train reversing) is drawn back, not broken.
        {{{5.5, 1}, {4.5, 2}, {3.5, 3}}, {{5.5, 1, true}, {4.5, 2, false}, {3.5, 3, false}}}};
    for (const Case& c : cases) {
        Points drawn;
        Decimator decimator(
            100, [&](double x, double y, bool move) { drawn.emplace_back(x, y, move); },
            [](double, double, double) {});
        for (auto [x, y] : c.line) decimator.Add(x, y);
        decimator.Finish();
        EXPECT_EQ(drawn, c.drawn) << std::get<0>(c.drawn.front());
    }
}

TEST(PlotLayout, GrowsWithThePicture) {
    EXPECT_DOUBLE_EQ(StyleFor({800, 500}).font, 15);  // 8.5 pt when set 16 cm wide
    EXPECT_DOUBLE_EQ(StyleFor({1600, 2000}).font, 30);
    EXPECT_DOUBLE_EQ(StyleFor({100, 100}).font, 7.5);
    EXPECT_DOUBLE_EQ(StyleFor({800, 1000}, 3).font, 15);
    for (auto [panels, height] : {std::pair{1, 500}, {3, 1000}, {39, 10000}, {40, 10000}})
        EXPECT_EQ(DefaultPlotSize(panels).height, height) << panels;
    PlotLayout narrow = LayoutPlot({800, 500}, StyleFor({800, 500}), 9, 20);
    PlotLayout wide = LayoutPlot({800, 500}, StyleFor({800, 500}), 9, 60);
    EXPECT_DOUBLE_EQ(wide.left - narrow.left, 40);
    EXPECT_GT(narrow.panels[0].top, narrow.titleBaseline);
    EXPECT_LT(narrow.panels[0].bottom, narrow.xTickTop);
    EXPECT_LT(narrow.xTickTop + 9, narrow.xLabelBaseline - 9);
    EXPECT_LT(narrow.right, 800);
    EXPECT_LT(narrow.xLabelBaseline, 500);
    EXPECT_LT(LayoutPlot({800, 500}, StyleFor({800, 500}), 9, 20, 1, false).panels[0].top,
              narrow.panels[0].top);  // no title, no room for one
    for (int panels : {1, 40}) {
        PlotLayout cramped = LayoutPlot({100, 100}, StyleFor({100, 100}, panels), 4.5, 500, panels);
        EXPECT_GE(cramped.right - cramped.left, 1);
        EXPECT_GE(cramped.panels.back().bottom - cramped.panels.back().top, 1);
    }
}

TEST(PlotLayout, PanelsShareTheLeftEdgeAndTheXLabelsStandUnderTheLastOnly) {
    PlotRanges ranges;
    ranges.empty = false;
    ranges.x = {270, 330};
    ranges.y = {{0, 1}, {-2e6, 2e6}, {0, 0.4}};
    ranges.panelEmpty = {false, false, false};
    auto width = [](const std::string& text) { return 7.0 * text.size(); };
    PlotSize size = DefaultPlotSize(3);
    PlotPlan plan = PlanPlot(size, StyleFor(size, 3), ranges, true, 11, width);
    const PlotLayout& l = plan.layout;
    ASSERT_EQ(l.panels.size(), 3u);
    double widest = 0;
    for (std::size_t panel = 0; panel < 3; ++panel) {
        const PanelBand& band = l.panels[panel];
        EXPECT_GT(band.bottom - band.top, 200) << panel;
        if (panel > 0) {
            EXPECT_GE(band.top, l.panels[panel - 1].bottom + plan.style.gap);
        }
        ASSERT_GE(plan.yTicks[panel].size(), 2u) << panel;
        for (const Tick& tick : plan.yTicks[panel]) {
            widest = std::max(widest, width(tick.text));
            // Within its band and half the gap: clear of the next panel's labels.
            EXPECT_GE(tick.position - 5.5, band.top - plan.style.gap / 2) << tick.text;
            EXPECT_LE(tick.position + 5.5, band.bottom + plan.style.gap / 2) << tick.text;
        }
    }
    EXPECT_EQ(widest, 56);  // "-2000000" of the middle panel sets every panel's left edge
    EXPECT_DOUBLE_EQ(l.yTickRight - widest, l.yLabelX + 1.5 * plan.style.pad);
    EXPECT_GE(plan.xTicks.size(), 3u);
    EXPECT_GT(l.xTickTop, l.panels.back().bottom + plan.style.tick);
}

TEST(WritePlot, EachFormatReadsBack) {
    ScratchDir dir;
    std::vector<std::vector<double>> rows, other;  // time, two panels
    for (int i = 0; i < 600; ++i) {
        double value = std::sin(i / 50.0) * 30 + (i == 300 ? 80 : 0);
        rows.push_back({i * 0.1, value, i < 300 ? NAN : value});
        other.push_back({i * 0.1 + 10, -value, 0.5});
    }
    Plot plot;
    plot.size = DefaultPlotSize(2);
    plot.title = PlotTitle({PlotLabel(ColumnChannel(11))}, "\xe9t\xe9.dat");  // not UTF-8
    plot.yLabels = {PlotLabel(ColumnChannel(11)) + "\xff", "Column 12"};
    plot.legend = {"\xe9t\xe9.dat", "other.dat"};
    std::string error;
    for (const char* name : {"p.png", "p.svg", "p.pdf", "empty.png"}) {
        Format format;
        ASSERT_TRUE(FormatOf(name, FormatUse::kPlot, &format, &error));
        std::vector<Series> runs = {Records(rows), Records(other)};
        if (std::string(name) == "empty.png") runs = {Records({}), Records(other)};
        EXPECT_TRUE(WritePlot(runs, plot, format, dir.File(name), &error)) << error;
    }
    cairo_surface_t* png = cairo_image_surface_create_from_png(dir.File("p.png").c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 800);
    EXPECT_EQ(cairo_image_surface_get_height(png), 750);
    const unsigned char* pixels = cairo_image_surface_get_data(png);
    int stride = cairo_image_surface_get_stride(png), white = 0, blue = 0, orange = 0;
    for (int y = 0; y < 750; ++y) {
        for (int x = 0; x < 800; ++x) {
            std::uint32_t pixel = reinterpret_cast<const std::uint32_t*>(pixels + y * stride)[x];
            white += (pixel & 0xffffff) == 0xffffff;
            blue += (pixel & 0xffffff) == 0x005cbf;    // the first run's colour
            orange += (pixel & 0xffffff) == 0xd95e00;  // the compared run's
        }
    }
    cairo_surface_destroy(png);
    EXPECT_GT(white, 800 * 750 / 2);
    EXPECT_GT(blue, 500);
    EXPECT_GT(orange, 500);
    EXPECT_EQ(std::system(("xmllint --noout " + dir.File("p.svg")).c_str()), 0);
    EXPECT_EQ(ReadFile(dir.File("p.pdf")).substr(0, 5), "%PDF-");

    // A lone sample is a mark twice as wide as the line (4 px at 800x500), not a dot of its width.
    Plot lone;
    lone.yLabels = {"v"};
    ASSERT_TRUE(
        WritePlot({Samples({NAN, 5.0, NAN})}, lone, Format::kPng, dir.File("lone.png"), &error));
    png = cairo_image_surface_create_from_png(dir.File("lone.png").c_str());
    pixels = cairo_image_surface_get_data(png);
    stride = cairo_image_surface_get_stride(png);
    int left = 800, right = -1, top = 500, bottom = -1;
    for (int i = 0; i < 800 * 500; ++i) {
        const unsigned char* bgr = pixels + i / 800 * stride + 4 * (i % 800);
        if (bgr[0] < bgr[2] + 40) continue;  // not the data's blue, nor a blend of it
        left = std::min(left, i % 800), right = std::max(right, i % 800);
        top = std::min(top, i / 800), bottom = std::max(bottom, i / 800);
    }
    cairo_surface_destroy(png);
    EXPECT_GE(std::min(right - left, bottom - top) + 1, 4);

    EXPECT_FALSE(WritePlot({Records(rows)}, plot, Format::kSvg, "/dev/full", &error));
    EXPECT_EQ(error, "plovo: cannot write '/dev/full': No space left on device");
    EXPECT_FALSE(WritePlot({Records(rows)}, plot, Format::kPng, dir.File("no/p.png"), &error));
    EXPECT_EQ(error,
              "plovo: cannot write '" + dir.File("no/p.png") + "': No such file or directory");
}

// Rendering into memory bitmaps, with no graphics mode: the scale, the strip, the row of a
// sample, the plot, the cursor line, the status text and where the bar lands in the frame.
#include "chart.h"

#include <cmath>

#include "charttypes.h"
#include "kolejka.h"
#include "test_util.h"
#include "viewer.h"

namespace {
class Chart : public PlovoTest {
  protected:
    void SetUp() override {
        PlovoTest::SetUp();
        UseMemoryBitmaps();
        red = makecol(255, 0, 0);
        green = makecol(0, 255, 0);
        blue = makecol(0, 0, 255);
        yellow = makecol(255, 255, 0);
        Use(640, 480);
    }
    void TearDown() override {
        DestroyCanvases(canvases);
        PlovoTest::TearDown();
    }
    void Use(int width, int height) {
        DestroyCanvases(canvases);
        iscrWidth = width;
        iscrHeight = height;
        ZeroLine = (height - 20) / 2;
        ASSERT_TRUE(CreateCanvases(canvases));
    }
    // A window holding these samples, as records 1 .. n.
    void Fill(kolejka& window, const std::vector<double>& samples) {
        for (double sample : samples) window.push_back(sample);
        ieFp = static_cast<int>(samples.size());
    }
    // The rows of column x that hold colour.
    std::vector<int> RowsOf(BITMAP* bitmap, int x, int colour) {
        std::vector<int> rows;
        for (int y = 0; y < bitmap->h; ++y)
            if (getpixel(bitmap, x, y) == colour) rows.push_back(y);
        return rows;
    }
    Canvases canvases;
    // Set once the colour depth is 16.
    int red = 0, green = 0, blue = 0, yellow = 0;
};
}  // namespace

TEST_F(Chart, CanvasSizes) {
    EXPECT_EQ(canvases.frame->w, 640);
    EXPECT_EQ(canvases.frame->h, 480);
    EXPECT_EQ(canvases.chart->h, 459);
    EXPECT_EQ(canvases.statusBar->h, 21);
    EXPECT_EQ(canvases.strip->h, 3);
    EXPECT_EQ(bitmap_color_depth(canvases.frame), 16);
}

TEST_F(Chart, StripIsALineWithTicksEveryTenColumns) {
    BITMAP* strip = canvases.strip;
    for (int x = 0; x < 640; ++x) {
        EXPECT_EQ(getpixel(strip, x, 1), red) << x;
        int tick = x % 10 == 0 ? red : 0;
        EXPECT_EQ(getpixel(strip, x, 0), tick) << x;
        EXPECT_EQ(getpixel(strip, x, 2), tick) << x;
    }
    Use(645, 480);
    EXPECT_EQ(getpixel(canvases.strip, 640, 0), red);
    EXPECT_EQ(getpixel(canvases.strip, 644, 0), 0);
}

TEST_F(Chart, SampleRowTruncatesAndKeepsFiniteRowsOnTheChart) {
    multiplier = 1.0;
    EXPECT_EQ(SampleRow(0.0, 459), 230);
    EXPECT_EQ(SampleRow(-0.9, 459), 230);  // 230.9
    EXPECT_EQ(SampleRow(0.9, 459), 229);   // 229.1
    EXPECT_EQ(SampleRow(229.0, 459), 1);
    EXPECT_EQ(SampleRow(-229.0, 459), 458);  // row 459 lies below the chart
    EXPECT_EQ(SampleRow(500.0, 459), 0);
    EXPECT_EQ(SampleRow(NAN, 459), std::nullopt);
    EXPECT_EQ(SampleRow(INFINITY, 459), std::nullopt);
    EXPECT_EQ(SampleRow(-1e300, 459), std::nullopt);

    ZeroLine = 230;  // height 481: half-height 230 reaches row 0
    multiplier = 230.0 / 7.5;
    EXPECT_EQ(SampleRow(7.5, 460), 0);

    // A subnormal extreme overflows the multiplier: the samples are scaled by it first.
    iscrHeight = 480;
    SetScale(-1e-310);
    ASSERT_FALSE(std::isfinite(multiplier));
    EXPECT_EQ(SampleRow(0.0, 459), 230);
    EXPECT_EQ(SampleRow(-1e-310, 459), 458);
    EXPECT_EQ(SampleRow(1e-310, 459), 1);
    EXPECT_EQ(SampleRow(0.5e-310, 459), 115);
}

TEST_F(Chart, ChartInitPlotsOneDotPerColumnOverTheStrip) {
    multiplier = 229.0 / 4.0;
    std::vector<double> samples(640, 1.0);
    samples[0] = 0.0;
    samples[1] = 4.0;
    samples[2] = -4.0;
    samples[3] = NAN;
    kolejka window(640);
    Fill(window, samples);
    ChartInit(window, canvases.frame, canvases.chart, canvases.strip);

    BITMAP* chart = canvases.chart;
    EXPECT_EQ(RowsOf(chart, 0, green), std::vector<int>{230});  // over the red line
    EXPECT_EQ(RowsOf(chart, 0, red), (std::vector<int>{229, 231}));
    EXPECT_EQ(RowsOf(chart, 1, green), std::vector<int>{1});
    EXPECT_EQ(RowsOf(chart, 2, green), std::vector<int>{458});
    EXPECT_EQ(RowsOf(chart, 3, green), std::vector<int>{});
    EXPECT_EQ(RowsOf(chart, 639, green), std::vector<int>{172});  // 172.75
    for (int x = 0; x < 640; ++x)
        for (int y = 0; y < 459; ++y)
            ASSERT_EQ(getpixel(canvases.frame, x, y), getpixel(chart, x, y)) << x << "," << y;
}

TEST_F(Chart, DrawChartSlidesAndReplots) {
    MakeRecords(700);
    multiplier = 0.25;
    kolejka window(640);
    Fill(window, std::vector<double>(640, 0.0));

    DrawChart(window, canvases.chart, canvases.strip, 2, 10);  // no such direction
    EXPECT_EQ(isFp, 1);
    EXPECT_TRUE(RowsOf(canvases.chart, 5, green).empty());
    EXPECT_EQ(RowsOf(canvases.chart, 5, red), std::vector<int>{230});

    ieFp = 640;
    iFc = 700;
    clear_bitmap(canvases.chart);
    DrawChart(window, canvases.chart, canvases.strip, 1, 10);
    EXPECT_EQ(isFp, 11);
    // Columns 630 .. 639 now hold records 641 .. 650: 650 is at row 230 - 162.5.
    EXPECT_EQ(RowsOf(canvases.chart, 639, green), std::vector<int>{67});
    EXPECT_EQ(RowsOf(canvases.chart, 0, green), std::vector<int>{230});
}

TEST_F(Chart, CursorLineCrossesTheWholeFrame) {
    DrawCursorLine(canvases.frame, 639);
    EXPECT_EQ(RowsOf(canvases.frame, 639, yellow).size(), 480u);
    EXPECT_TRUE(RowsOf(canvases.frame, 638, yellow).empty());
}

TEST(StatusText, FormatsLikeADefaultOutputStream) {
    ResetGlobals();
    ieFp = 640;
    TypeOfChart(2);
    EXPECT_EQ(StatusText(), "(1 : 640)     Velocity [m/s]      Value: 0");
    value = -3.14159265;
    EXPECT_EQ(StatusText(), "(1 : 640)     Velocity [m/s]      Value: -3.14159");
    value = 1e6;
    EXPECT_EQ(StatusText(), "(1 : 640)     Velocity [m/s]      Value: 1e+06");
    value = 12.5;
    isFp = 361;
    ieFp = 1000;
    EXPECT_EQ(StatusText(), "(361 : 1000)     Velocity [m/s]      Value: 12.5");
    ResetGlobals();
}

TEST_F(Chart, StatusBarLandsAtTheBottomOfTheFrame) {
    ieFp = 640;
    TypeOfChart(2);
    const int marker = makecol(1, 2, 3);
    clear_to_color(canvases.frame, marker);
    DrawStatBar(canvases.statusBar, canvases.frame);
    std::vector<int> textRows;
    int leftmost = 640;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            int pixel = getpixel(canvases.frame, x, y);
            if (y <= 459)
                ASSERT_EQ(pixel, marker) << x << "," << y;
            else
                ASSERT_TRUE(pixel == 0 || pixel == blue) << x << "," << y;
            if (pixel == blue) {
                if (textRows.empty() || textRows.back() != y) textRows.push_back(y);
                leftmost = std::min(leftmost, x);
            }
        }
    }
    ASSERT_FALSE(textRows.empty());
    EXPECT_GE(textRows.front(), 466);
    EXPECT_LE(textRows.back(), 473);
    EXPECT_GE(leftmost, 10);
    EXPECT_LT(leftmost, 18);  // the first glyph, "(", starts in the first character cell
}

TEST(Scale, MagnitudeOfTheExtremeSpansHalfTheChart) {
    iscrHeight = 480;
    SetScale(-458.0);
    EXPECT_EQ(ZeroLine, 230);
    EXPECT_DOUBLE_EQ(multiplier, 0.5);  // half-height 229 over |-458|
    iscrHeight = 481;
    SetScale(23.0);
    EXPECT_EQ(ZeroLine, 230);
    EXPECT_DOUBLE_EQ(multiplier, 10.0);
    SetScale(0.0);
    EXPECT_EQ(multiplier, 1.0);
}

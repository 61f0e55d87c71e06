// The overview: which records each column shows, and the picture drawn from them.
#include "overview.h"

#include "charttypes.h"
#include "kolejka.h"
#include "records.h"
#include "test_util.h"

TEST(Overview, ColumnsShareTheRecordsOutInOrder) {
    // {records, width, column, first, last}; first > last for a column with no record.
    std::vector<std::tuple<std::int64_t, int, int, std::int64_t, std::int64_t>> table = {
        {0, 4, 0, 1, 0},
        {1, 4, 0, 1, 1},
        {1, 4, 1, 1, 0},
        {3, 4, 2, 3, 3},
        {4, 4, 0, 1, 1},
        {4, 4, 3, 4, 4},
        {10, 4, 0, 1, 2},
        {10, 4, 1, 3, 5},
        {10, 4, 3, 8, 10},
        {8, 4, 1, 3, 4},
        {2147483647, 16384, 16383, 2147352576, 2147483647}};
    for (auto [records, width, x, first, last] : table) {
        RecordSpan span = OverviewColumnRecords(x, records, width);
        if (first > last) {
            EXPECT_GT(span.first, span.last) << records << " " << x;
            continue;
        }
        EXPECT_EQ(std::make_pair(span.first, span.last), std::make_pair(first, last));
        // The records at both ends lie in the column OverviewColumnOf names.
        for (std::int64_t r : {first, last})
            EXPECT_EQ(OverviewColumnOf(r, records, width), x) << records << " " << r;
    }
    EXPECT_EQ(OverviewColumnOf(6, 3, 8), 5);  // past a short log's end: as the viewer places it
}

class OverviewPicture : public PlovoTest {};

TEST_F(OverviewPicture, OneRecordAColumnIsTheViewersChartMarked) {
    UseMemoryBitmaps();
    iscrWidth = 50;
    iscrHeight = 80;
    MakeRecords(iscrWidth);  // record k holds k
    SetScale(50);
    TypeOfChart(3);
    SampleRange range{1, 50, 1, 50};

    Canvases overview;
    ASSERT_TRUE(CreateCanvases(overview));
    DrawOverview(overview, 1, range);

    kolejka window(iscrWidth);
    FillWindowAt(window, 1);
    Canvases expected;
    ASSERT_TRUE(CreateCanvases(expected));
    ChartInit(window, expected.frame, expected.chart, expected.strip);
    DrawStatusText(expected.statusBar, expected.frame,
                   "(1 : 50)     Acceleration [m/ss]      min: 1  max: 50");
    DrawCursorLine(expected.frame, 0);
    DrawCursorLine(expected.frame, iscrWidth - 1);

    int differing = 0;
    for (int y = 0; y < iscrHeight; ++y)
        for (int x = 0; x < iscrWidth; ++x)
            differing += getpixel(overview.frame, x, y) != getpixel(expected.frame, x, y);
    EXPECT_EQ(differing, 0);
    DestroyCanvases(overview);
    DestroyCanvases(expected);
}

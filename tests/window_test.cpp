// Filling and sliding the sample window, and the value under the cursor.
#include "kolejka.h"
#include "records.h"
#include "test_util.h"

namespace {
class Sliding : public PlovoTest {
  protected:
    std::vector<double> Window(kolejka& window) {
        std::vector<double> samples;
        window.reset_iter();
        for (int i = 0; i < iscrWidth; ++i) samples.push_back(window.k_get());
        return samples;
    }
    std::vector<double> Range(int first, int last) {
        std::vector<double> samples;
        for (int k = first; k <= last; ++k) samples.push_back(k);
        return samples;
    }
};
}  // namespace

TEST_F(Sliding, SlidingStopsAtBothEndsAndPartway) {
    MakeRecords(20);
    iscrWidth = 5;
    kolejka window(iscrWidth);
    FillWindowAt(window, 1);
    EXPECT_EQ(ieFp, 5);
    EXPECT_EQ(Window(window), Range(1, 5));

    AddToQueue(window, 10, 0);  // already at record 1
    EXPECT_EQ(isFp, 1);
    AddToQueue(window, 12, 1);
    EXPECT_EQ(isFp, 13);
    EXPECT_EQ(ieFp, 17);
    AddToQueue(window, 10, 1);  // 3 records left
    EXPECT_EQ(isFp, 16);
    EXPECT_EQ(ieFp, 20);
    EXPECT_EQ(Window(window), Range(16, 20));
    AddToQueue(window, 1, 1);  // already at the last record
    EXPECT_EQ(ieFp, 20);

    AddToQueue(window, 2, 2);
    AddToQueue(window, 2, -1);
    AddToQueue(window, 0, 0);
    AddToQueue(window, -3, 1);
    EXPECT_EQ(isFp, 16);

    AddToQueue(window, 1, 0);
    EXPECT_EQ(Window(window), Range(15, 19));
    AddToQueue(window, 20, 0);
    EXPECT_EQ(isFp, 1);
    EXPECT_EQ(ieFp, 5);
    EXPECT_EQ(Window(window), Range(1, 5));
}

TEST_F(Sliding, FillWindowAtStartsAsFarAsRightWouldAndNoFurther) {
    MakeRecords(20);
    iscrWidth = 5;
    // {asked, first record shown}: the last full window starts at 16.
    for (auto [start, first] : std::vector<std::pair<std::int64_t, int>>{
             {1, 1}, {2, 2}, {16, 16}, {17, 16}, {INT64_MAX / 16, 16}}) {
        kolejka window(iscrWidth);
        isFp = 1;
        FillWindowAt(window, start);
        EXPECT_EQ(isFp, first) << start;
        EXPECT_EQ(ieFp, first + 4) << start;
        EXPECT_EQ(Window(window), Range(first, first + 4)) << start;
    }
}

TEST_F(Sliding, ShortLogFillsWithZerosAndDoesNotScrollPastItsEnd) {
    MakeRecords(3);
    iscrWidth = 6;
    kolejka window(iscrWidth);
    FillWindowAt(window, 3);  // no later start: the same fill as from record 1
    EXPECT_EQ(isFp, 1);
    EXPECT_EQ(ieFp, 6);
    EXPECT_EQ(Window(window), (std::vector<double>{1, 2, 3, 0, 0, 0}));
    AddToQueue(window, 10, 1);
    EXPECT_EQ(isFp, 1);
    EXPECT_EQ(ieFp, 6);
}

TEST_F(Sliding, GetValueReadsTheSampleUnderTheCursorColumn) {
    MakeRecords(30);
    iscrWidth = 8;
    kolejka window(iscrWidth);
    FillWindowAt(window, 1);
    AddToQueue(window, 10, 1);
    GetValue(window, 0);
    EXPECT_EQ(value, 11.0);
    GetValue(window, iscrWidth - 1);
    EXPECT_EQ(value, 18.0);
    GetValue(window, -1);  // no sample read: value stays
    EXPECT_EQ(value, 18.0);
}

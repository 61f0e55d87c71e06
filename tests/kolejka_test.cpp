// The sample window: trimming at the opposite end, reading order, and a cursor that never
// reads freed memory.
#include "kolejka.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<double> Contents(kolejka& window, int reads) {
    std::vector<double> samples;
    window.reset_iter();
    for (int i = 0; i < reads; ++i) samples.push_back(window.k_get());
    return samples;
}
}  // namespace

TEST(Kolejka, PushesTrimTheOppositeEndOnceFull) {
    kolejka window(3);
    window.push_back(1.0);
    window.push_back(2.0);
    EXPECT_EQ(Contents(window, 2), (std::vector<double>{1.0, 2.0}));
    window.push_back(3.0);
    window.push_back(4.0);
    EXPECT_EQ(Contents(window, 3), (std::vector<double>{2.0, 3.0, 4.0}));
    window.push_front(0.0);
    EXPECT_EQ(Contents(window, 3), (std::vector<double>{0.0, 2.0, 3.0}));
}

TEST(Kolejka, ReadsPastTheBackOrOnAnEmptyWindowGiveZero) {
    kolejka empty(4);
    empty.reset_iter();
    EXPECT_EQ(empty.k_get(), 0.0);

    kolejka window(2);
    window.push_back(7.0);
    window.push_back(8.0);
    EXPECT_EQ(Contents(window, 4), (std::vector<double>{7.0, 8.0, 0.0, 0.0}));
}

TEST(Kolejka, CursorOnADroppedSampleReadsZeroNotFreedMemory) {
    kolejka window(2);
    window.push_back(1.0);
    window.push_back(2.0);
    window.reset_iter();    // on 1.0
    window.push_back(3.0);  // drops 1.0
    EXPECT_EQ(window.k_get(), 0.0);

    window.reset_iter();
    window.k_get();          // now on the back sample, 3.0
    window.push_front(9.0);  // drops 3.0
    EXPECT_EQ(window.k_get(), 0.0);
    EXPECT_EQ(Contents(window, 2), (std::vector<double>{9.0, 2.0}));
}

TEST(Kolejka, CursorElsewhereSurvivesAPush) {
    kolejka window(3);
    for (double sample : {1.0, 2.0, 3.0}) window.push_back(sample);
    window.reset_iter();
    window.k_get();         // on 2.0
    window.push_back(4.0);  // drops 1.0 only
    EXPECT_EQ(window.k_get(), 2.0);
    EXPECT_EQ(window.k_get(), 3.0);
    EXPECT_EQ(window.k_get(), 4.0);
}

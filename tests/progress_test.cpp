// The progress line's text.
#include "progress.h"

#include <gtest/gtest.h>

TEST(Progress, PercentOfAKnownSizeElseMegabytes) {
    const std::string reading = "plovo: reading the log: ";
    EXPECT_EQ(ProgressText(0, 1000), reading + "0%");
    EXPECT_EQ(ProgressText(8'589'934'592, 21'474'836'480), reading + "40%");
    EXPECT_EQ(ProgressText(1500, 1000), reading + "100%");   // a log that grows
    EXPECT_EQ(ProgressText(3 << 20, -1), reading + "3 MB");  // a pipe
    EXPECT_EQ(ProgressText(5, 0), reading + "0 MB");
}

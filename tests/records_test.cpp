// Reading records back from the temporary file.
#include "records.h"

#include "test_util.h"

TEST_F(PlovoTest, RecordsAreReadByNumberAndZeroOutsideTheFile) {
    MakeRecords(3);
    EXPECT_EQ(czytaj(1), 1.0);
    EXPECT_EQ(czytaj(2), 2.0);
    EXPECT_EQ(czytaj(3), 3.0);
    EXPECT_EQ(czytaj(4), 0.0);
    EXPECT_EQ(czytaj(0), 0.0);
    EXPECT_EQ(czytaj(-1), 0.0);
    EXPECT_EQ(czytaj(2147483647), 0.0);  // byte offset past 2^32: no overflow
    // Nor past 2^63 (--start INT64_MAX / 16): (first - 1) * 23 wraps round to byte 17 here.
    for (std::int64_t first : {std::int64_t{802032351030850072}, INT64_MAX / 16, INT64_MAX})
        EXPECT_EQ(RecordStream(sampleRecordsFd, first).NextText(), "") << first;
    // A cleaner of the temporary folder removing the files does not turn the samples into 0.
    RemoveTempFile();
    EXPECT_EQ(czytaj(3), 3.0);
    EXPECT_TRUE(tmp.Entries().empty());
}

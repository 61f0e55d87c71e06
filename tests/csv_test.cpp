// CSV rows.
#include "csv.h"

#include <gtest/gtest.h>

TEST(Csv, FieldsAreQuotedOnlyWhenTheyMustBe) {
    std::string row;
    AppendCsvRow({"run 1.dat", "a,b", "say \"hi\"", "two\nlines", "cr\r", "", "-0.5"}, &row);
    EXPECT_EQ(row, "run 1.dat,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\",,-0.5\n");
}

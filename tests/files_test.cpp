// Path rules, and text as CSV writes it.
#include "files.h"

#include <gtest/gtest.h>

#include "text.h"

TEST(IniPath, BesideTheProgramOrInTheCurrentDirectory) {
    EXPECT_EQ(IniPathFor("/usr/local/bin/plovo"), "/usr/local/bin/plovo.ini");
    EXPECT_EQ(IniPathFor("build/plovo"), "build/plovo.ini");
    EXPECT_EQ(IniPathFor("./plovo"), "./plovo.ini");
    EXPECT_EQ(IniPathFor("plovo"), "plovo.ini");
}

TEST(Csv, FieldsAreQuotedOnlyWhenTheyMustBe) {
    std::string row;
    AppendCsvRow({"run 1.dat", "a,b", "say \"hi\"", "two\nlines", "cr\r", "", "-0.5"}, &row);
    EXPECT_EQ(row, "run 1.dat,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\",,-0.5\n");
}

// Path rules.
#include "paths.h"

#include <gtest/gtest.h>

TEST(IniPath, BesideTheProgramOrInTheCurrentDirectory) {
    EXPECT_EQ(IniPathFor("/usr/local/bin/plovo"), "/usr/local/bin/plovo.ini");
    EXPECT_EQ(IniPathFor("build/plovo"), "build/plovo.ini");
    EXPECT_EQ(IniPathFor("./plovo"), "./plovo.ini");
    EXPECT_EQ(IniPathFor("plovo"), "plovo.ini");
}

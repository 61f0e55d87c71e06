// plovo.ini, the command line's chart type, the limits on both, the INI path rule, the scale.
#include "settings.h"

#include <sstream>

#include "test_util.h"

namespace {
class Ini : public PlovoTest {
  protected:
    Settings Load(const std::string& text) {
        WriteFile(work.File("plovo.ini"), text);
        std::ostringstream out;
        Settings settings = LoadSettings(work.File("plovo.ini"), out);
        EXPECT_EQ(out.str(), "");
        return settings;
    }
    bool Fullscreen(const std::string& value) {
        return Load("[display]\nfullscreen = " + value + "\n").fullscreen;
    }
};
}  // namespace

TEST_F(Ini, MissingFileGivesTheMessageAndTheDefaults) {
    std::ostringstream out;
    Settings settings = LoadSettings(work.File("plovo.ini"), out);
    EXPECT_EQ(out.str(), "IniFile error!!! Loading default settings...\n");
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_EQ(settings.chartType, 2);
}

TEST_F(Ini, KeysAreReadAndEachMissingOneTakesItsDefault) {
    Settings all = Load("[display]\nwidth = 800\nheight = 600\nfullscreen = yes\ndefault = 5\n");
    EXPECT_EQ(all.width, 800);
    EXPECT_EQ(all.height, 600);
    EXPECT_TRUE(all.fullscreen);
    EXPECT_EQ(all.chartType, 5);

    Settings some = Load("[display]\nheight = 300\n");
    EXPECT_EQ(some.width, 640);
    EXPECT_EQ(some.height, 300);
    EXPECT_EQ(some.chartType, 2);

    EXPECT_EQ(Load("[display]\nwidth = 12abc\n").width, 12);
    EXPECT_EQ(Load("[display]\nwidth = abc\n").width, 0);
}

TEST_F(Ini, FullscreenTakesTheLeadingLetter) {
    EXPECT_TRUE(Fullscreen("yes"));
    EXPECT_TRUE(Fullscreen("True"));
    EXPECT_TRUE(Fullscreen("1"));
    EXPECT_FALSE(Fullscreen("no"));
    EXPECT_FALSE(Fullscreen("false"));
    EXPECT_FALSE(Fullscreen("0"));
    EXPECT_FALSE(Fullscreen("on"));
}

TEST_F(Ini, TheShippedFileHoldsTheDefaults) {
    std::ostringstream out;
    Settings shipped = LoadSettings(PLOVO_SOURCE_DIR "/plovo.ini", out);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(shipped.width, 640);
    EXPECT_EQ(shipped.height, 480);
    EXPECT_FALSE(shipped.fullscreen);
    EXPECT_EQ(shipped.chartType, 2);
}

TEST(CommandLine, SecondArgumentCountsOnlyWhenItIsTheLast) {
    Settings settings;
    settings.chartType = 4;
    const char* two[] = {"plovo", "log.dat"};
    ApplyCommandLine(2, two, settings);
    EXPECT_EQ(settings.chartType, 4);

    const char* four[] = {"plovo", "log.dat", "5", "x"};
    ApplyCommandLine(4, four, settings);
    EXPECT_EQ(settings.chartType, 4);

    const char* three[] = {"plovo", "log.dat", " +7x"};
    ApplyCommandLine(3, three, settings);
    EXPECT_EQ(settings.chartType, 7);
    const char* text[] = {"plovo", "log.dat", "abc"};
    ApplyCommandLine(3, text, settings);
    EXPECT_EQ(settings.chartType, 0);
}

TEST(SettingsError, NamesTheValueAndWhatIsAccepted) {
    Settings settings;
    settings.iniPath = "/opt/plovo/plovo.ini";
    EXPECT_EQ(SettingsError(settings), "");

    settings.chartType = 12;  // no label, but a column the log may hold
    EXPECT_EQ(SettingsError(settings), "");
    settings.chartType = 0;
    settings.chartTypeSource = "from the command line ('abc')";
    EXPECT_EQ(SettingsError(settings),
              "plovo: chart type 0 from the command line ('abc') is out of range: expected 1 or "
              "more (1 to 11 name the log's columns)");
    settings.chartType = 2;

    for (int width : {0, -1, 16385}) {
        settings.width = width;
        EXPECT_EQ(SettingsError(settings), "plovo: display:width " + std::to_string(width) +
                                               " in '/opt/plovo/plovo.ini' is out of range: "
                                               "expected 1 to 16384");
    }
    settings.width = 1;
    EXPECT_EQ(SettingsError(settings), "");
    for (int height : {22, 16385}) {
        settings.height = height;
        EXPECT_EQ(SettingsError(settings), "plovo: display:height " + std::to_string(height) +
                                               " in '/opt/plovo/plovo.ini' is out of range: "
                                               "expected 23 to 16384");
    }
    settings.height = 23;
    EXPECT_EQ(SettingsError(settings), "");
}

TEST(IniPath, BesideTheProgramOrInTheCurrentDirectory) {
    EXPECT_EQ(IniPathFor("/usr/local/bin/plovo"), "/usr/local/bin/plovo.ini");
    EXPECT_EQ(IniPathFor("build/plovo"), "build/plovo.ini");
    EXPECT_EQ(IniPathFor("./plovo"), "./plovo.ini");
    EXPECT_EQ(IniPathFor("plovo"), "plovo.ini");
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

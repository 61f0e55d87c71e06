// plovo.ini, the command line's chart type, the limits on both, the INI path rule, the scale.
#include "settings.h"

#include <algorithm>
#include <sstream>
#include <tuple>

#include "test_util.h"

namespace {
void ExpectDefaults(const Settings& settings) {
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_EQ(settings.chartType, 2);
}

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
    ExpectDefaults(settings);
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
    ExpectDefaults(shipped);
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

    const std::string inIni = " in '/opt/plovo/plovo.ini' is out of range: expected ";
    std::vector<std::tuple<int Settings::*, int, std::string>> sizes = {
        {&Settings::width, 0, "display:width 0" + inIni + "1 to 16384"},
        {&Settings::width, -1, "display:width -1" + inIni + "1 to 16384"},
        {&Settings::width, 16385, "display:width 16385" + inIni + "1 to 16384"},
        {&Settings::height, 22, "display:height 22" + inIni + "23 to 16384"},
        {&Settings::height, 16385, "display:height 16385" + inIni + "23 to 16384"}};
    for (const auto& [field, size, message] : sizes) {
        Settings wrong = settings;
        wrong.*field = size;
        EXPECT_EQ(SettingsError(wrong), "plovo: " + message);
    }
    for (int size : {1, 23, 16384}) {
        settings.width = size;
        settings.height = std::max(size, 23);
        EXPECT_EQ(SettingsError(settings), "") << size;
    }
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

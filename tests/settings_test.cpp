// plovo.ini, the command line's chart type, and the limits on both.
#include "settings.h"

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "test_util.h"

namespace {
// Why the settings are refused by a run that uses them all; "" when they are not.
std::string SettingsError(const Settings& settings, SettingsUse use = {true, true, true}) {
    std::string err;
    bool usable = CheckSettings(settings, use, &err);
    EXPECT_EQ(usable, err.empty());
    return err;
}

void ExpectDefaults(const Settings& settings) {
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_EQ(settings.chart.column, 2);
}

class Ini : public PlovoTest {
  protected:
    Settings Load(const std::string& text) {
        WriteFile(work.File("plovo.ini"), text);
        Settings settings;
        std::string err;
        EXPECT_TRUE(LoadSettings(work.File("plovo.ini"), &settings, &err)) << err;
        return settings;
    }
    bool Fullscreen(const std::string& value) {
        return Load("[display]\nfullscreen = " + value + "\n").fullscreen;
    }
};
}  // namespace

TEST_F(Ini, MissingFileGivesTheReasonAndTheDefaults) {
    Settings settings;
    settings.width = 1;
    std::string err;
    EXPECT_FALSE(LoadSettings(work.File("plovo.ini"), &settings, &err));
    ExpectDefaults(settings);
    EXPECT_EQ(err,
              "plovo: no settings in '" + work.File("plovo.ini") + "': No such file or directory");
    EXPECT_FALSE(LoadSettings("plovo.ini", &settings, &err));
    EXPECT_EQ(err, "plovo: no settings in './plovo.ini': No such file or directory");
}

TEST_F(Ini, KeysAreReadAndEachMissingOneTakesItsDefault) {
    Settings all = Load("[display]\nwidth = 800\nheight = 600\nfullscreen = yes\ndefault = 5\n");
    EXPECT_EQ(all.width, 800);
    EXPECT_EQ(all.height, 600);
    EXPECT_TRUE(all.fullscreen);
    EXPECT_EQ(all.chart.column, 5);

    Settings some = Load("[display]\nheight = 300\n");
    EXPECT_EQ(some.width, 640);
    EXPECT_EQ(some.height, 300);
    EXPECT_EQ(some.chart.column, 2);

    EXPECT_EQ(Load("[display]\ndefault = Brake-P\n").chart.column, 9);
    EXPECT_EQ(Load("[display]\ndefault = 2,brake-p\n").charts.size(), 2u);
    EXPECT_EQ(SettingsError(Load("[display]\ndefault = speed\n"))
                  .rfind("plovo: unknown chart type 'speed' from display:default in '" +
                             work.File("plovo.ini") + "': expected a number or one of time, ",
                         0),
              0u);

    Settings big = Load("[display]\nwidth = 4294967616\nheight = -2147483649\n");
    EXPECT_EQ(SettingsError(big), "plovo: display:width 4294967616 in '" + work.File("plovo.ini") +
                                      "' is out of range: expected 1 to 16384");
    big.widthText.clear();
    EXPECT_EQ(SettingsError(big), "plovo: display:height -2147483649 in '" +
                                      work.File("plovo.ini") +
                                      "' is out of range: expected 23 to 16384");
}

TEST_F(Ini, NumbersAreWholeDecimalsOrRefusedAsWritten) {
    // {key = value, the number kept (the default for a refused size), the refusal}
    const std::string in = " in '" + work.File("plovo.ini") + "' is out of range: expected ";
    const std::string width = "plovo: display:width ", type = "plovo: chart type ";
    const std::string fromIni =
        " from display:default" + in + "1 or more (1 to 11 name the log's columns)";
    std::vector<std::tuple<std::string, int, std::string>> table = {
        {"width = 0640", 640, ""},
        {"width = \t +800 ", 800, ""},
        {"width = 1e3", 640, width + "'1e3'" + in + "1 to 16384"},
        {"width = 1,024", 640, width + "'1,024'" + in + "1 to 16384"},
        {"width = 800.9", 640, width + "'800.9'" + in + "1 to 16384"},
        {"width = 0x100", 640, width + "'0x100'" + in + "1 to 16384"},
        {"width = abc", 640, width + "'abc'" + in + "1 to 16384"},
        {"height = 5e2", 480, "plovo: display:height '5e2'" + in + "23 to 16384"},
        {"default = 05", 5, ""},
        {"default = 5x", 0, type + "'5x'" + fromIni}};
    for (const auto& [line, read, refusal] : table) {
        Settings settings = Load("[display]\n" + line + "\n");
        EXPECT_EQ(SettingsError(settings), refusal) << line;
        int got = line[0] == 'w'   ? settings.width
                  : line[0] == 'h' ? settings.height
                                   : settings.chart.column;
        EXPECT_EQ(got, read) << line;
    }
}

TEST_F(Ini, OnlyASmallRegularFileIsRead) {
    std::string path = work.File("plovo.ini");
    std::string big = "[display]\nwidth = 800\n";
    while (big.size() <= kMaxIniSize) big += "; a comment line, to make the file large\n";
    std::vector<std::pair<std::function<void()>, std::string>> makers = {
        {[&] { WriteFile(path, big); }, "larger than 64 KiB"},
        {[&] { std::filesystem::create_directory(path); }, "Is a directory"},
        {[&] { mkfifo(path.c_str(), 0600); }, "not a regular file"},  // would block a plain open
        {[&] { std::filesystem::create_symlink("/dev/zero", path); },
         "not a regular file"},  // shown with its target
        {[&] { WriteFile(path, "[display]\nwidth = 800\n=x\ny\n"); }, "syntax error on line 3"},
        {[&] { WriteFile(path, "[display]\nwidth = " + std::string(2000, '8')); },
         "line 2 is too long"}};
    for (const auto& [make, why] : makers) {
        std::filesystem::remove_all(path);
        make();
        Settings settings;
        std::string err;
        EXPECT_FALSE(LoadSettings(path, &settings, &err));
        ExpectDefaults(settings);
        std::string link = std::filesystem::is_symlink(path) ? " (a link to '/dev/zero')" : "";
        EXPECT_EQ(err, "plovo: no settings in '" + path + "'" + link + ": " + why);
    }
    std::filesystem::remove_all(path);
    big.resize(kMaxIniSize);
    EXPECT_EQ(Load(big).width, 800);
}

TEST_F(Ini, AFileAsEditorsWriteItIsRead) {
    // A byte-order mark at the start and CRLF line ends, as some editors save UTF-8.
    Settings settings = Load(
        "\xEF\xBB\xBF[display]\r\nwidth = 320\r\ndefault = brake-p\r\n"
        "[analysis]\r\nbrake_on = 0.1\r\n");
    EXPECT_EQ(settings.width, 320);
    EXPECT_EQ(settings.chart.column, 9);
    EXPECT_EQ(settings.analysis.brakeOn, 0.1);
    // A NUL is refused as what it is, not as a line too long.
    std::string path = work.File("plovo.ini");
    WriteFile(path, std::string("[display]\nwidth = 3\0"
                                "20\n",
                                21));
    std::string err;
    EXPECT_FALSE(LoadSettings(path, &settings, &err));
    EXPECT_EQ(err, "plovo: no settings in '" + path + "': line 2 holds a NUL byte");
    ExpectDefaults(settings);
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

TEST_F(Ini, AnalysisKeysArePositiveFiniteDecimalsOrRefusedAsWritten) {
    Settings settings = Load("[analysis]\nbrake_on = 0.12 ; MPa\nstop_speed = 5e-1\n");
    EXPECT_EQ(settings.analysis.brakeOn, 0.12);
    EXPECT_EQ(settings.analysis.stopSpeed, 0.5);
    EXPECT_EQ(SettingsError(settings), "");
    const std::string where = " in '" + work.File("plovo.ini") + "' is out of range: expected a " +
                              "positive finite decimal number";
    for (const char* bad :
         {"0", "-0.05", "abc", "0.05x", "1e999", "nan", "inf", "0x1p-4", "\"\"", "1e-400"}) {
        Settings wrong = Load("[analysis]\nstop_speed = " + std::string(bad) + "\n");
        std::string shown = std::string(bad) == "\"\"" ? "" : bad;  // iniparser drops the quotes
        EXPECT_EQ(SettingsError(wrong), "plovo: analysis:stop_speed '" + shown + "'" + where);
        EXPECT_EQ(wrong.analysis.stopSpeed, 0.1);  // the default stays
    }
    EXPECT_EQ(SettingsError(Load("[analysis]\nbrake_on =\n")),
              "plovo: analysis:brake_on ''" + where);
}

TEST_F(Ini, TheShippedFileHoldsTheDefaults) {
    Settings shipped;
    std::string err;
    EXPECT_TRUE(LoadSettings(PLOVO_SOURCE_DIR "/plovo.ini", &shipped, &err)) << err;
    ExpectDefaults(shipped);
    EXPECT_EQ(shipped.analysis.brakeOn, BrakingRule().brakeOn);
    EXPECT_EQ(shipped.analysis.stopSpeed, BrakingRule().stopSpeed);
    EXPECT_EQ(SettingsError(shipped), "");
}

TEST(CommandLine, SecondArgumentCountsOnlyWhenItIsTheLast) {
    Settings settings;
    settings.chart.column = 4;
    const char* two[] = {"plovo", "log.dat"};
    ApplyCommandLine(2, two, settings);
    EXPECT_EQ(settings.chart.column, 4);

    const char* four[] = {"plovo", "log.dat", "5", "x"};
    ApplyCommandLine(4, four, settings);
    EXPECT_EQ(settings.chart.column, 4);

    const char* three[] = {"plovo", "log.dat", " +7x"};
    ApplyCommandLine(3, three, settings);
    EXPECT_EQ(settings.chart.column, 7);
    const char* text[] = {"plovo", "log.dat", "abc"};
    ApplyCommandLine(3, text, settings);
    EXPECT_EQ(settings.chart.column, 0);
    EXPECT_EQ(settings.chartTypeText, "");
    const char* name[] = {"plovo", "log.dat", "Brake-P"};
    ApplyCommandLine(3, name, settings);
    EXPECT_EQ(settings.chart.column, 9);
    EXPECT_EQ(SettingsError(settings), "");
    const char* empty[] = {"plovo", "log.dat", ""};
    ApplyCommandLine(3, empty, settings);
    EXPECT_EQ(SettingsError(settings).rfind("plovo: unknown chart type '': expected", 0), 0u);

    // Numbers beyond an int are refused as written, not wrapped.
    for (auto [given, shown] :
         std::vector<std::pair<const char*, const char*>>{{"4294967298", "4294967298"},
                                                          {" 2147483648x", "2147483648"},
                                                          {"-2147483649", "-2147483649"}}) {
        const char* big[] = {"plovo", "log.dat", given};
        ApplyCommandLine(3, big, settings);
        EXPECT_EQ(SettingsError(settings), "plovo: chart type " + std::string(shown) +
                                               " from the command line ('" + given +
                                               "') is out of range: expected 1 or more (1 to 11 "
                                               "name the log's columns)");
    }
    const char* largest[] = {"plovo", "log.dat", "2147483647"};
    ApplyCommandLine(3, largest, settings);
    EXPECT_EQ(settings.chart.column, 2147483647);
    EXPECT_EQ(SettingsError(settings), "");

    // A comma-separated list: each item read as one chart type is; the first wrong one refused.
    std::string many = "2";
    for (int i = 1; i < 33; ++i) many += ",2";
    const std::string range =
        "') is out of range: expected 1 or more (1 to 11 name the log's columns)";
    std::vector<std::tuple<std::string, std::string, std::string>> lists = {
        {"velocity,pipe-pressure,Brake-P", "2 10 9", ""},
        {"2, 13 ,distance", "2 13 distance", ""},
        {"velocity,speed", "2 0", "plovo: unknown chart type 'speed': expected a number or one of"},
        {"velocity,", "2 0", "plovo: unknown chart type '': expected a number or one of"},
        {"2,brake", "2 0", "plovo: chart type 'brake' is ambiguous: brake-force, brake-pressure"},
        {"2,0,x", "2 0", "plovo: chart type 0 from the command line ('2,0,x" + range},
        {"2,4294967298", "2 0",
         "plovo: chart type 4294967298 from the command line ('2,4294967298" + range},
        {many, "2 2", "plovo: 33 chart types from the command line ('" + many + "'): at most 32"}};
    for (const auto& [list, read, message] : lists) {
        const char* argv[] = {"plovo", "log.dat", list.c_str()};
        ApplyCommandLine(3, argv, settings);
        std::string charts;
        for (const Channel& chart : settings.charts)
            charts += (charts.empty() ? "" : " ") + ChannelId(chart);
        EXPECT_EQ(charts.substr(0, read.size()), read) << list;
        EXPECT_EQ(settings.chart, settings.charts[0]) << list;
        EXPECT_EQ(SettingsError(settings).substr(0, message.size()), message) << list;
    }
}

TEST(SettingsError, NamesTheValueAndWhatIsAccepted) {
    Settings settings;
    settings.iniPath = "/opt/plovo/plovo.ini";
    EXPECT_EQ(SettingsError(settings), "");

    settings.chart.column = 12;  // no label, but a column the log may hold
    EXPECT_EQ(SettingsError(settings), "");
    settings.chart.column = 0;
    settings.chartTypeSource = "from the command line ('abc')";
    EXPECT_EQ(SettingsError(settings),
              "plovo: chart type 0 from the command line ('abc') is out of range: expected 1 or "
              "more (1 to 11 name the log's columns)");
    settings.chart.column = 2;

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

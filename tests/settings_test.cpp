// plovo.ini, the command line's chart type, the limits on both, the INI path rule, the scale.
#include "settings.h"

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <tuple>

#include "chart.h"
#include "options.h"
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
    EXPECT_EQ(settings.iniFailure,
              "plovo: no settings in '" + work.File("plovo.ini") + "': No such file or directory");
    EXPECT_EQ(LoadSettings("plovo.ini", out).iniFailure,
              "plovo: no settings in './plovo.ini': No such file or directory");
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
    EXPECT_EQ(Load("[display]\nheight = 0x100\n").height, 256);
    EXPECT_EQ(Load("[display]\ndefault = Brake-P\n").chartType, 9);
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
        std::ostringstream out;
        Settings settings = LoadSettings(path, out);
        ExpectDefaults(settings);
        EXPECT_EQ(out.str(), "IniFile error!!! Loading default settings...\n");
        std::string link = std::filesystem::is_symlink(path) ? " (a link to '/dev/zero')" : "";
        EXPECT_EQ(settings.iniFailure, "plovo: no settings in '" + path + "'" + link + ": " + why);
    }
    std::filesystem::remove_all(path);
    big.resize(kMaxIniSize);
    EXPECT_EQ(Load(big).width, 800);
}

TEST(Printable, ControlBytesAreEscapedAndTextStays) {
    EXPECT_EQ(Printable("run\x1b]0;x\a\x1b[2J\t\x7f.dat"),
              "run\\x1b]0;x\\x07\\x1b[2J\\x09\\x7f.dat");
    EXPECT_EQ(Printable("przejazd żółty 17.dat"), "przejazd żółty 17.dat");
    // C1 controls, alone or as UTF-8 (U+009B), and the bytes of broken sequences among them;
    // valid UTF-8 up to four bytes and Latin-1 letters stay.
    EXPECT_EQ(Printable("a\x9b"
                        "31m\xc2\x9b"
                        "b\xe2\x9b.\xe9\xe2\x82\xac\xf0\x9d\x84\x9e"),
              "a\\x9b31m\\xc2\\x9bb\xe2\\x9b.\xe9\xe2\x82\xac\xf0\x9d\x84\x9e");
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
    EXPECT_EQ(settings.chartTypeText, "");
    const char* name[] = {"plovo", "log.dat", "Brake-P"};
    ApplyCommandLine(3, name, settings);
    EXPECT_EQ(settings.chartType, 9);
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
    EXPECT_EQ(settings.chartType, 2147483647);
    EXPECT_EQ(SettingsError(settings), "");
}

namespace {
// What ParseOptions made of the arguments (after a program name), in one line.
std::string Parsed(std::vector<std::string> args) {
    args.insert(args.begin(), "plovo");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    CommandLine command = ParseOptions(static_cast<int>(argv.size()), argv.data());
    if (!command.error.empty()) return command.error;
    std::ostringstream at;
    if (command.at) at << " at " << *command.at;
    if (!command.plot.empty())
        at << " plot " << command.plot << " " << int(command.plotFormat) << " "
           << command.plotSize.width << "x" << command.plotSize.height;
    if (command.to) at << " to " << *command.to;
    std::string line = std::to_string(command.start) + (command.help ? " help" : "") +
                       (command.version ? " version" : "") + at.str() +
                       (command.overview.empty() ? "" : " overview " + command.overview) +
                       (command.stats ? " stats" : "") + (command.follow ? " follow" : "") + " [" +
                       command.snapshot + "]";
    if (!command.noDisplaySnapshot.empty()) line += " {" + command.noDisplaySnapshot + "}";
    for (const auto& arg : command.args) line += " " + arg;
    return line;
}
}  // namespace

TEST(Options, TakenOutWhereverTheyStandAndRefusedBeforeAnythingElse) {
    const std::string badStart = "plovo: --start takes a sample number of 1 or more, not '";
    const std::string badAt = "plovo: --at takes a time in seconds, not '";
    std::vector<std::pair<std::vector<std::string>, std::string>> table = {
        {{"log.dat"}, "1 [] log.dat"},
        {{"--start", "52000", "log.dat", "3"}, "52000 [] log.dat 3"},
        {{"log.dat", "--start=7", "3", "x"}, "7 [] log.dat 3 x"},
        {{"log.dat", "3", "--snapshot", "out.PNG"}, "1 [out.PNG] log.dat 3"},
        {{"--snapshot=a.bmp", "--start", "99999999999999999999"}, "576460752303423487 [a.bmp]"},
        {{"--", "-x.dat", "--start"}, "1 [] -x.dat --start"},
        {{"-h", "log.dat"}, "1 help [] log.dat"},
        {{"--version"}, "1 version []"},
        {{}, "1 []"},
        {{"--start", "0", "log.dat"}, badStart + "0'"},
        {{"--start=-1", "log.dat"}, badStart + "-1'"},
        {{"--start", "12abc", "log.dat"}, badStart + "12abc'"},
        {{"--start=", "log.dat"}, badStart + "'"},
        {{"--start", "+5", "log.dat"}, badStart + "+5'"},
        {{"log.dat", "--start"}, "plovo: option --start needs a value"},
        {{"--snapshot", "a.jpg", "log.dat"},
         "plovo: cannot save a picture as 'a.jpg': the name must end in .png, .bmp, .tga or .pcx"},
        {{"--snapshot", "png", "log.dat"},
         "plovo: cannot save a picture as 'png': the name must end in .png, .bmp, .tga or .pcx"},
        {{"--at", "280.5", "log.dat", "velocity"}, "1 at 280.5 [] log.dat velocity"},
        {{"--at=-1e3", "--overview", "o.PNG", "--stats", "l"},
         "1 at -1000 overview o.PNG stats [] l"},
        {{"--at", "nan", "log.dat"}, badAt + "nan'"},
        {{"--at", "1e999", "log.dat"}, badAt + "1e999'"},
        {{"--at", "12s", "log.dat"}, badAt + "12s'"},
        {{"--at=", "log.dat"}, badAt + "'"},
        {{"--at", "5", "--start", "3"},
         "plovo: --at and --start both say where to open: give one"
         " of them"},
        {{"--overview", "o.jpg", "log.dat"},
         "plovo: cannot save a picture as 'o.jpg': the name must end in .png, .bmp, .tga or .pcx"},
        {{"--plot", "b.SVG", "--at", "270", "--to=330", "l"},
         "1 at 270 plot b.SVG 1 800x500 to 330 [] l"},
        {{"--plot=b.pdf", "--plot-s", "1600X1000", "l"}, "1 plot b.pdf 2 1600x1000 [] l"},
        {{"--to", "330", "l"}, "plovo: --to goes with --plot, which is not given"},
        {{"--plot-size", "900x600", "l"},
         "plovo: --plot-size goes with --plot, which is not given"},
        {{"--plot", "b.png", "--at", "1.0000002", "--to", "1.0000001"},
         "plovo: --to 1.0000001 is earlier than --at 1.0000002"},
        {{"--plot", "b.png", "--to", "inf"}, "plovo: --to takes a time in seconds, not 'inf'"},
        {{"log.dat", "-f"}, "576460752303423487 follow [] log.dat"},  // the last full screen
        {{"--follow", "--start", "3", "log.dat"}, "3 follow [] log.dat"},
        {{"--at", "5", "--fol", "--no-d", "b.png", "l"}, "1 at 5 follow [] {b.png} l"},
        {{"-f", "--stats", "log.dat"},
         "plovo: --stats describes the log as it is, and --follow needs the window: give one of "
         "them"},
        {{"--plot", "p.svg", "--follow"},
         "plovo: --plot describes the log as it is, and --follow needs the window: give one of "
         "them"},
        {{"--bogus=1", "log.dat"}, "plovo: unknown option --bogus"},
        {{"log.dat", "-hq"}, "plovo: unknown option -q"},
        // Unique beginnings name an option; the messages name it as written.
        {{"--snap", "a.png", "--star=3", "--no-d", "b.tga", "log.dat"},
         "3 [a.png] {b.tga} log.dat"},
        {{"--h", "--vers"}, "1 help version []"},
        {{"--help=x"}, "plovo: option --help takes no value"},
        {{"--vers=x"}, "plovo: option --vers takes no value"},
        {{"--s", "5", "log.dat"}, "plovo: option --s is ambiguous: --start, --snapshot, --stats"},
        {{"log.dat", "--sn"}, "plovo: option --sn needs a value"},
        {{"--\x9b=1"}, "plovo: unknown option --\\x9b"}};
    for (const auto& [args, expected] : table) {
        std::string joined;
        for (const auto& arg : args) joined += arg + " ";
        EXPECT_EQ(Parsed(args), expected) << joined;
    }
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

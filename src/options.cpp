// The command line's options, the usage line and --help.
#include "options.h"

#include <getopt.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <optional>
#include <sstream>

#include "chart.h"
#include "picture.h"
#include "platform.h"

const char* const kUsage = "plovo <file>.dat chart_type\nDetails: ReadMe.txt";
const char* const kVersion = PLOVO_VERSION;

namespace {
// "N" for a whole decimal number N >= 1 (a very large one saturates), else none.
std::optional<std::int64_t> ReadStart(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::int64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        number = std::min<std::int64_t>(number * 10 + (c - '0'), INT64_MAX / 16);
    }
    if (number < 1) return std::nullopt;
    return number;
}

// A finite decimal number as strtod reads the whole text, else none.
std::optional<double> ReadSeconds(const char* text) {
    char* end = nullptr;
    double seconds = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(seconds)) return std::nullopt;
    return seconds;
}

std::string PictureNameError(const char* name) {
    return "plovo: cannot save a picture as '" + Printable(name) +
           "': the name must end in .png, .bmp, .tga or .pcx";
}

const option kOptions[] = {
    {"start", required_argument, nullptr, 's'},    {"at", required_argument, nullptr, 'a'},
    {"snapshot", required_argument, nullptr, 'o'}, {"overview", required_argument, nullptr, 'O'},
    {"stats", no_argument, nullptr, 'S'},          {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},        {nullptr, 0, nullptr, 0}};

// Takes one option and its value into command; the message when the value is refused.
std::string TakeOption(int option, const char* value, CommandLine& command) {
    switch (option) {
        case 's':
            if (std::optional<std::int64_t> start = ReadStart(value)) {
                command.start = *start;
                command.startGiven = true;
                return "";
            }
            return "plovo: --start takes a sample number of 1 or more, not '" + Printable(value) +
                   "'";
        case 'a':
            command.at = ReadSeconds(value);
            if (command.at) return "";
            return "plovo: --at takes a time in seconds, not '" + Printable(value) + "'";
        case 'o':
            command.snapshot = value;
            return PictureFormatKnown(value) ? "" : PictureNameError(value);
        case 'O':
            command.overview = value;
            return PictureFormatKnown(value) ? "" : PictureNameError(value);
        case 'S':
            command.stats = true;
            return "";
        case 'h':
            command.help = true;
            return "";
        default:
            command.version = true;
            return "";
    }
}

// Options that cannot go together.
std::string Conflict(const CommandLine& command) {
    if (command.at && command.startGiven)
        return "plovo: --at and --start both say where to open: give one of them";
    return "";
}

// The option getopt_long stopped at, as the user wrote it: a short one from optopt, a long one
// from the argument before optind.
std::string OptionWritten(char** argv) {
    bool longOnly = false;
    for (const option& known : kOptions)
        longOnly = longOnly || (optopt == known.val && optopt != 'h');
    if (optopt > 0 && !longOnly) return std::string("-") + char(optopt);
    std::string written = argv[optind - 1];
    std::string::size_type equals = written.find('=');
    return Printable(equals == std::string::npos ? written : written.substr(0, equals));
}
}  // namespace

CommandLine ParseOptions(int argc, char** argv) {
    CommandLine command;
    optind = 0;  // a fresh scan, also when called again
    opterr = 0;  // the messages are ours
    int option;
    while ((option = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1) {
        if (option == ':') {
            command.error = "plovo: option " + OptionWritten(argv) + " needs a value";
        } else if (option == '?') {
            command.error = "plovo: unknown option " + OptionWritten(argv);
        } else {
            command.error = TakeOption(option, optarg, command);
        }
        if (!command.error.empty()) return command;
    }
    command.error = Conflict(command);
    for (int i = optind; i < argc; ++i) command.args.push_back(argv[i]);
    return command;
}

std::string HelpText() {
    std::ostringstream text;
    text << "Usage: plovo [OPTIONS] <file>.dat [chart_type]\n"
            "Shows one column of a rail-vehicle simulator's telemetry log as a chart.\n"
            "\n"
            "Options (before, between or after the arguments; -- ends them):\n"
            "  --start N        show sample N first (1 or more; clamped to the log's end)\n"
            "  --at SECONDS     show the first sample at SECONDS (column 1) or later first\n"
            "  --snapshot FILE  save the first view as FILE (.png .bmp .tga .pcx); no display\n"
            "  --overview FILE  save the whole log in one picture, the first view marked\n"
            "  --stats          print the log's samples, time span, minimum and maximum\n"
            "  -h, --help       show this help and exit\n"
            "  --version        show the version and exit\n"
            "\n"
            "Chart types (columns of the log; without one, display:default applies), by\n"
            "number or by name (any case; a unique beginning such as brake-p will do):\n";
    for (int type = 1; type <= kChartTypes; ++type)
        text << std::right << std::setw(4) << type << "  " << std::left << std::setw(18)
             << ChartName(type) << ChartLabel(type) << "\n";
    text << "  Numbers above 11 show that column of the log as \"Not supported!\".\n"
            "\n"
            "Keys:\n"
            "  Right / Left              scroll by one sample\n"
            "  Shift+Right / Shift+Left  scroll by ten samples\n"
            "  Ctrl+Right / Ctrl+Left    move the cursor; the status bar shows its value\n"
            "  Escape                    quit (so does the window's close button)\n"
            "The window's title names the sample under the cursor, its time and its value.\n"
            "\n"
            "Settings: plovo.ini in the directory of the program as it was started (argv[0]),\n"
            "or in the current directory when started without a directory; an installed\n"
            "plovo reads /etc/plovo/plovo.ini or PREFIX/etc/plovo/plovo.ini (man plovo):\n"
            "[display] width, height (pixels), fullscreen (yes/no), default (chart type).\n";
    return text.str();
}

// The command line's options, the usage line and --help.
#include "options.h"

#include <getopt.h>

#include <algorithm>
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

const option kOptions[] = {{"start", required_argument, nullptr, 's'},
                           {"snapshot", required_argument, nullptr, 'o'},
                           {"help", no_argument, nullptr, 'h'},
                           {"version", no_argument, nullptr, 'v'},
                           {nullptr, 0, nullptr, 0}};

// The option getopt_long stopped at, as the user wrote it: a short one from optopt, a long one
// from the argument before optind.
std::string OptionWritten(char** argv) {
    if (optopt > 0 && optopt != 's' && optopt != 'o') return std::string("-") + char(optopt);
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
        switch (option) {
            case 's':
                if (std::optional<std::int64_t> start = ReadStart(optarg)) {
                    command.start = *start;
                } else {
                    command.error = "plovo: --start takes a sample number of 1 or more, not '" +
                                    Printable(optarg) + "'";
                    return command;
                }
                break;
            case 'o':
                command.snapshot = optarg;
                if (!PictureFormatKnown(command.snapshot)) {
                    command.error = "plovo: cannot save a picture as '" + Printable(optarg) +
                                    "': the name must end in .png, .bmp, .tga or .pcx";
                    return command;
                }
                break;
            case 'h':
                command.help = true;
                break;
            case 'v':
                command.version = true;
                break;
            case ':':
                command.error = "plovo: option " + OptionWritten(argv) + " needs a value";
                return command;
            default:
                command.error = "plovo: unknown option " + OptionWritten(argv);
                return command;
        }
    }
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
            "  --snapshot FILE  save the first view as FILE (.png .bmp .tga .pcx); no display\n"
            "  -h, --help       show this help and exit\n"
            "  --version        show the version and exit\n"
            "\n"
            "Chart types (columns of the log; without one, display:default applies):\n";
    for (int type = 1; type <= kChartTypes; ++type)
        text << (type < 10 ? "   " : "  ") << type << "  " << ChartLabel(type) << "\n";
    text << "  Numbers above 11 show that column of the log as \"Not supported!\".\n"
            "\n"
            "Keys:\n"
            "  Right / Left              scroll by one sample\n"
            "  Shift+Right / Shift+Left  scroll by ten samples\n"
            "  Ctrl+Right / Ctrl+Left    move the cursor; the status bar shows its value\n"
            "  Escape                    quit (so does the window's close button)\n"
            "\n"
            "Settings: plovo.ini in the directory of the program as it was started (argv[0]),\n"
            "or in the current directory when started without a directory (through PATH):\n"
            "[display] width, height (pixels), fullscreen (yes/no), default (chart type).\n";
    return text.str();
}

// The command line, the settings from plovo.ini, their limits, and the chart's vertical scale.
#include "settings.h"

#include <fcntl.h>
#include <getopt.h>
#include <iniparser.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <sstream>

#include "chart.h"
#include "globals.h"
#include "platform.h"

const char* const kUsage = "plovo <file>.dat chart_type\nDetails: ReadMe.txt";
const char* const kVersion = PLOVO_VERSION;

namespace {
double scaleExtreme = 0.0;  // the extreme SetScale was given, for ScaledSample

// Rows from the zero line to a sample of the extreme's magnitude.
int HalfHeight() {
    return (iscrHeight - 21) / 2;
}

// iniparser reports a missing file on stderr itself; plovo prints its own line instead.
int IgnoreIniparserError(const char*, ...) {
    return 0;
}

std::string OutOfRange(const std::string& what, const std::string& given, const std::string& where,
                       const std::string& expected) {
    return "plovo: " + what + " " + given + " " + where + " is out of range: expected " + expected;
}

// The number at the start of text as strtol reads it in `base` (atoi's reading for 10,
// iniparser_getint's for 0). When it does not fit an int, `value` stays and the number's text,
// as written, goes to `unfit`.
void ReadInt(const char* text, int base, int& value, std::string& unfit) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(text, &end, base);
    if (errno == ERANGE || number < INT_MIN || number > INT_MAX)
        unfit.assign(text, static_cast<std::size_t>(end - text));
    else
        value = static_cast<int>(number);
}

// A key's number, or its default when the key is missing.
void ReadInt(dictionary* ini, const char* key, int& value, std::string& unfit) {
    if (const char* text = iniparser_getstring(ini, key, nullptr)) ReadInt(text, 0, value, unfit);
}

// A settings file worth reading: a regular file of at most kMaxIniSize bytes. Opened without
// blocking, so that a FIFO in its place cannot hang the start.
bool ReadableIni(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status;
    bool fit = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= kMaxIniSize;
    close(fd);
    return fit;
}

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

Settings LoadSettings(const std::string& iniPath, std::ostream& out) {
    Settings settings;
    settings.iniPath = iniPath;
    iniparser_set_error_callback(IgnoreIniparserError);
    dictionary* ini = ReadableIni(iniPath) ? iniparser_load(iniPath.c_str()) : nullptr;
    if (ini == nullptr) {
        out << "IniFile error!!! Loading default settings..." << std::endl;
        return settings;
    }
    settings.chartTypeSource = "from display:default in '" + Printable(iniPath) + "'";
    ReadInt(ini, "display:width", settings.width, settings.widthText);
    ReadInt(ini, "display:height", settings.height, settings.heightText);
    settings.fullscreen = iniparser_getboolean(ini, "display:fullscreen", 0) != 0;
    ReadInt(ini, "display:default", settings.chartType, settings.chartTypeText);
    iniparser_freedict(ini);
    return settings;
}

void ApplyCommandLine(int argc, const char* const* argv, Settings& settings) {
    if (argc != 3) return;
    settings.chartTypeText.clear();
    settings.chartType = 0;
    ReadInt(argv[2], 10, settings.chartType, settings.chartTypeText);
    settings.chartTypeSource = "from the command line ('" + Printable(argv[2]) + "')";
}

std::string SettingsError(const Settings& settings) {
    const std::string inIni = "in '" + Printable(settings.iniPath) + "'";
    auto shown = [](int number, const std::string& unfit) {
        return unfit.empty() ? std::to_string(number) : Printable(unfit);
    };
    if (!settings.widthText.empty() || settings.width < kMinWidth || settings.width > kMaxSize)
        return OutOfRange("display:width", shown(settings.width, settings.widthText), inIni,
                          "1 to 16384");
    if (!settings.heightText.empty() || settings.height < kMinHeight || settings.height > kMaxSize)
        return OutOfRange("display:height", shown(settings.height, settings.heightText), inIni,
                          "23 to 16384");
    if (!settings.chartTypeText.empty() || settings.chartType < 1)
        return OutOfRange("chart type", shown(settings.chartType, settings.chartTypeText),
                          settings.chartTypeSource, "1 or more (1 to 11 name the log's columns)");
    return "";
}

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

bool PictureFormatKnown(const std::string& path) {
    std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string extension;
    for (char c : path.substr(dot + 1)) extension += static_cast<char>(std::tolower(c));
    return extension == "png" || extension == "bmp" || extension == "tga" || extension == "pcx";
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

void SetScale(double extreme) {
    ZeroLine = (iscrHeight - 20) / 2;
    multiplier = extreme == 0.0 ? 1.0 : HalfHeight() / std::fabs(extreme);
    scaleExtreme = extreme;
}

double ScaledSample(double sample) {
    if (std::isfinite(multiplier)) return sample * multiplier;
    // A subnormal extreme: half-height / |extreme| overflows, so scale the sample first.
    return sample / std::fabs(scaleExtreme) * HalfHeight();
}

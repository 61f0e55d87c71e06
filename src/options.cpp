// The command line's options, the usage line and --help.
#include "options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <optional>
#include <sstream>

#include "chart.h"
#include "logdata.h"
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
        number = std::min<std::int64_t>(number * 10 + (c - '0'), kPastTheEnd);
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

enum class Opt {
    Start,
    At,
    Snapshot,
    NoDisplaySnapshot,
    Overview,
    Stats,
    Plot,
    To,
    PlotSize,
    Follow,
    Help,
    Version
};

struct KnownOption {
    const char* name;  // after "--"
    char letter;       // after "-", or 0; options with a letter take no value
    bool takesValue;
    Opt id;
};

const KnownOption kOptions[] = {
    {"start", 0, true, Opt::Start},        {"at", 0, true, Opt::At},
    {"snapshot", 0, true, Opt::Snapshot},  {"no-display-snapshot", 0, true, Opt::NoDisplaySnapshot},
    {"overview", 0, true, Opt::Overview},  {"stats", 0, false, Opt::Stats},
    {"plot", 0, true, Opt::Plot},          {"to", 0, true, Opt::To},
    {"plot-size", 0, true, Opt::PlotSize}, {"follow", 'f', false, Opt::Follow},
    {"help", 'h', false, Opt::Help},       {"version", 0, false, Opt::Version}};

// The option `written` (a long name after "--", without "=value") names: the one with that
// name, else the only one whose name begins with it. Null, with one line in error, when none or
// several do.
const KnownOption* FindLong(const std::string& written, std::string& error) {
    std::vector<const KnownOption*> candidates;
    for (const KnownOption& known : kOptions) {
        if (written == known.name) return &known;
        if (!written.empty() && std::string(known.name).rfind(written, 0) == 0)
            candidates.push_back(&known);
    }
    if (candidates.size() == 1) return candidates[0];
    const std::string shown = "--" + Printable(written);
    if (candidates.empty()) {
        error = "plovo: unknown option " + shown;
        return nullptr;
    }
    error = "plovo: option " + shown + " is ambiguous: --" + candidates[0]->name;
    for (std::size_t k = 1; k < candidates.size(); ++k)
        error += std::string(", --") + candidates[k]->name;
    return nullptr;
}

const KnownOption* FindShort(char letter, std::string& error) {
    for (const KnownOption& known : kOptions)
        if (known.letter == letter) return &known;
    error = "plovo: unknown option " + Printable(std::string("-") + letter);
    return nullptr;
}

// A picture's name into `slot`; the message when its format is not known.
std::string TakePicture(std::string& slot, const std::string& value) {
    slot = value;
    return PictureFormatKnown(value) ? "" : PictureNameError(value.c_str());
}

// A time into `slot`; the message naming `option` when it is not a finite number of seconds.
std::string TakeSeconds(const char* option, std::optional<double>& slot, const std::string& value) {
    slot = ReadSeconds(value.c_str());
    if (slot) return "";
    return "plovo: " + std::string(option) + " takes a time in seconds, not '" + Printable(value) +
           "'";
}

// Takes one option and its value ("" for none) into command; the message when the value is
// refused.
std::string Apply(Opt id, const std::string& value, CommandLine& command) {
    std::string error;  // from plot.h's readers
    switch (id) {
        case Opt::Start:
            if (std::optional<std::int64_t> start = ReadStart(value)) {
                command.start = *start;
                command.startGiven = true;
                return "";
            }
            return "plovo: --start takes a sample number of 1 or more, not '" + Printable(value) +
                   "'";
        case Opt::At:
            return TakeSeconds("--at", command.at, value);
        case Opt::Snapshot:
            return TakePicture(command.snapshot, value);
        case Opt::NoDisplaySnapshot:
            return TakePicture(command.noDisplaySnapshot, value);
        case Opt::Overview:
            return TakePicture(command.overview, value);
        case Opt::Stats:
            command.stats = true;
            return "";
        case Opt::Plot:
            command.plot = value;
            ParsePlotFormat(value, command.plotFormat, error);
            return error;
        case Opt::To:
            return TakeSeconds("--to", command.to, value);
        case Opt::PlotSize:
            command.plotSizeGiven = ParsePlotSize(value, command.plotSize, error);
            return error;
        case Opt::Follow:
            command.follow = true;
            return "";
        case Opt::Help:
            command.help = true;
            return "";
        case Opt::Version:
            command.version = true;
            return "";
    }
    return "";
}

// An output that describes the log as it is, asked for with --follow, which needs the window.
std::string FollowConflict(const CommandLine& command) {
    const char* output = !command.snapshot.empty()   ? "--snapshot"
                         : !command.overview.empty() ? "--overview"
                         : command.stats             ? "--stats"
                         : !command.plot.empty()     ? "--plot"
                                                     : nullptr;
    if (output == nullptr) return "";
    return std::string("plovo: ") + output +
           " describes the log as it is, and --follow needs the window: give one of them";
}

// Options that cannot go together.
std::string Conflict(const CommandLine& command) {
    if (command.at && command.startGiven)
        return "plovo: --at and --start both say where to open: give one of them";
    if (command.plot.empty() && (command.to || command.plotSizeGiven))
        return std::string("plovo: ") + (command.to ? "--to" : "--plot-size") +
               " goes with --plot, which is not given";
    if (command.to && command.at && *command.to < *command.at)
        return "plovo: --to " + ExactText(*command.to) + " is earlier than --at " +
               ExactText(*command.at);
    return command.follow ? FollowConflict(command) : "";
}

// Takes the option in argv[i] (and its value, which may be the next argument); the message
// when it is refused.
std::string TakeOption(int argc, char** argv, int& i, CommandLine& command) {
    std::string arg = argv[i], error;
    if (arg[1] != '-') {  // one or more letters
        for (char letter : arg.substr(1)) {
            const KnownOption* known = FindShort(letter, error);
            if (known != nullptr) error = Apply(known->id, "", command);
            if (!error.empty()) return error;
        }
        return "";
    }
    std::string::size_type equals = arg.find('=');
    std::string written = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
    const KnownOption* known = FindLong(written, error);
    if (known == nullptr) return error;
    const std::string shown = "plovo: option --" + Printable(written);
    if (!known->takesValue && equals != std::string::npos) return shown + " takes no value";
    if (known->takesValue && equals == std::string::npos && i + 1 == argc)
        return shown + " needs a value";
    std::string value = !known->takesValue            ? ""
                        : equals != std::string::npos ? arg.substr(equals + 1)
                                                      : argv[++i];
    return Apply(known->id, value, command);
}
}  // namespace

CommandLine ParseOptions(int argc, char** argv) {
    CommandLine command;
    for (int i = 1; i < argc && command.error.empty(); ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            command.args.insert(command.args.end(), argv + i + 1, argv + argc);
            break;
        }
        if (arg.size() < 2 || arg[0] != '-')
            command.args.push_back(arg);
        else
            command.error = TakeOption(argc, argv, i, command);
    }
    if (command.error.empty()) command.error = Conflict(command);
    // A followed log opens on its last full screen, as a start past its end would.
    if (command.follow && !command.startGiven && !command.at) command.start = kPastTheEnd;
    return command;
}

std::vector<std::string> Outputs(const CommandLine& command) {
    std::vector<std::string> outputs;
    for (const std::string* path : {&command.snapshot, &command.overview, &command.plot})
        if (!path->empty()) outputs.push_back(*path);
    return outputs;
}

std::string HelpText() {
    std::ostringstream text;
    text << "Usage: plovo [OPTIONS] <file>.dat [chart_type]\n"
            "Shows one column of a rail-vehicle simulator's telemetry log as a chart.\n"
            "\n"
            "Options (before, between or after the arguments; -- ends them). A long option\n"
            "may be shortened to any beginning that names it alone, as --snap for --snapshot.\n"
            "  --start N                   show sample N first (1 or more; at most the end)\n"
            "  --at SECONDS                open at the first sample at SECONDS or later\n"
            "  --snapshot FILE             save the first view as FILE (.png .bmp .tga .pcx)\n"
            "  --no-display-snapshot FILE  the same, in place of a window without DISPLAY\n"
            "  --overview FILE             save the whole log as FILE, the first view marked\n"
            "  --stats                     print the samples, time span, minimum and maximum\n"
            "  --plot FILE                 draw the first view's stretch against time as a\n"
            "                              report chart (.png .svg .pdf)\n"
            "  --to SECONDS                with --plot: the stretch from the first sample to\n"
            "                              the last at SECONDS or earlier\n"
            "  --plot-size WxH             with --plot: its size (800x500; 100 to 10000 each)\n"
            "  -f, --follow                keep reading the log as it grows; the window\n"
            "                              follows its end while it shows it\n"
            "  -h, --help                  show this help and exit\n"
            "  --version                   show the version and exit\n"
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

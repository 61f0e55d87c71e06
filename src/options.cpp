// The command line's options, the usage line and --help.
#include "options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <optional>
#include <sstream>

#include "charttypes.h"
#include "number.h"
#include "outputfile.h"
#include "picture.h"
#include "refusal.h"
#include "text.h"

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

// A finite decimal number as strtod reads the whole text, else none (hexadecimal too).
std::optional<double> ReadSeconds(const char* text) {
    if (std::strpbrk(text, "xX") != nullptr) return std::nullopt;
    char* end = nullptr;
    double seconds = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(seconds)) return std::nullopt;
    return seconds;
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
    X,
    Compare,
    Title,
    Export,
    Follow,
    Help,
    Version,
    Summary,
    Brakings,
    NoHeader
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
    {"plot-size", 0, true, Opt::PlotSize}, {"x", 0, true, Opt::X},
    {"compare", 0, true, Opt::Compare},    {"title", 0, true, Opt::Title},
    {"export", 0, true, Opt::Export},      {"follow", 'f', false, Opt::Follow},
    {"help", 'h', false, Opt::Help},       {"version", 0, false, Opt::Version},
    {"summary", 0, true, Opt::Summary},    {"brakings", 0, true, Opt::Brakings},
    {"no-header", 0, false, Opt::NoHeader}};

// The option `written` (a long name after "--", without "=value") names: the one with that
// name, else the only one whose name begins with it. Null, with one line in err, when none or
// several do.
const KnownOption* FindLong(const std::string& written, std::string* err) {
    std::vector<const KnownOption*> candidates;
    for (const KnownOption& known : kOptions) {
        if (written == known.name) return &known;
        if (!written.empty() && std::string(known.name).rfind(written, 0) == 0)
            candidates.push_back(&known);
    }
    if (candidates.size() == 1) return candidates[0];
    const std::string shown = "--" + Printable(written);
    if (candidates.empty()) {
        *err = "plovo: unknown option " + shown;
        return nullptr;
    }
    *err = "plovo: option " + shown + " is ambiguous: --" + candidates[0]->name;
    for (std::size_t k = 1; k < candidates.size(); ++k)
        *err += std::string(", --") + candidates[k]->name;
    return nullptr;
}

const KnownOption* FindShort(char letter, std::string* err) {
    for (const KnownOption& known : kOptions)
        if (known.letter == letter) return &known;
    *err = "plovo: unknown option " + Printable(std::string("-") + letter);
    return nullptr;
}

// A picture's name into `slot`; refused when its format is not known.
bool TakePicture(std::string* slot, const std::string& value, std::string* err) {
    *slot = value;
    PictureFormat format;  // found again from the name when the picture is written
    return ParsePictureFormat(value, &format, err);
}

// A time into `slot`; refused, naming `option`, when it is not a finite number of seconds.
bool TakeSeconds(const char* option, std::optional<double>* slot, const std::string& value,
                 std::string* err) {
    *slot = ReadSeconds(value.c_str());
    return slot->has_value() ||
           Refuse(err, "plovo: " + std::string(option) + " takes a time in seconds, not '" +
                           Printable(value) + "'");
}

// A table's file into `slot`; refused when the name is empty.
bool TakeTable(const char* option, std::string* slot, const std::string& value, std::string* err) {
    *slot = value;
    return !value.empty() || Refuse(err, "plovo: " + std::string(option) +
                                             " takes a file name, or - for standard "
                                             "output, not ''");
}

// --x's value: time or distance, in any case, or a beginning of one.
bool TakeXAxis(const std::string& value, CommandLine* command, std::string* err) {
    std::string lower;
    for (char c : value) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    command->xGiven = !lower.empty();
    if (command->xGiven && std::string("time").rfind(lower, 0) == 0)
        command->xAxis = XAxis::kTime;
    else if (command->xGiven && std::string("distance").rfind(lower, 0) == 0)
        command->xAxis = XAxis::kDistance;
    else
        return Refuse(err, "plovo: --x takes time or distance, not '" + Printable(value) + "'");
    return true;
}

// Takes one option and its value ("" for none) into command; false when the value is refused.
bool Apply(Opt id, const std::string& value, CommandLine* command, std::string* err) {
    switch (id) {
        case Opt::Start:
            if (std::optional<std::int64_t> start = ReadStart(value)) {
                command->start = *start;
                command->startGiven = true;
                return true;
            }
            return Refuse(err, "plovo: --start takes a sample number of 1 or more, not '" +
                                   Printable(value) + "'");
        case Opt::At:
            return TakeSeconds("--at", &command->at, value, err);
        case Opt::Snapshot:
            return TakePicture(&command->snapshot, value, err);
        case Opt::NoDisplaySnapshot:
            return TakePicture(&command->noDisplaySnapshot, value, err);
        case Opt::Overview:
            return TakePicture(&command->overview, value, err);
        case Opt::Stats:
            command->stats = true;
            return true;
        case Opt::Plot:
            command->plot = value;
            return ParsePlotFormat(value, &command->plotFormat, err);
        case Opt::To:
            return TakeSeconds("--to", &command->to, value, err);
        case Opt::PlotSize:
            command->plotSizeGiven = ParsePlotSize(value, &command->plotSize, err);
            return command->plotSizeGiven;
        case Opt::X:
            return TakeXAxis(value, command, err);
        case Opt::Compare:
            command->compare = value;
            return true;
        case Opt::Title:
            command->title = value;
            return true;
        case Opt::Export:
            command->exportTable = value;
            return !value.empty() ||
                   Refuse(err, "plovo: --export takes a file name, or - for standard output");
        case Opt::Follow:
            command->follow = true;
            return true;
        case Opt::Help:
            command->help = true;
            return true;
        case Opt::Version:
            command->version = true;
            return true;
        case Opt::Summary:
            return TakeTable("--summary", &command->summary, value, err);
        case Opt::Brakings:
            return TakeTable("--brakings", &command->brakings, value, err);
        case Opt::NoHeader:
            command->noHeader = true;
            return true;
    }
    return true;
}

// Refuses an output that describes the log as it is, asked for with --follow, which needs the
// window.
bool CheckFollow(const CommandLine& command, std::string* err) {
    const char* output = !command.snapshot.empty()      ? "--snapshot"
                         : !command.overview.empty()    ? "--overview"
                         : command.stats                ? "--stats"
                         : !command.plot.empty()        ? "--plot"
                         : !command.exportTable.empty() ? "--export"
                                                        : nullptr;
    return output == nullptr ||
           Refuse(err, std::string("plovo: ") + output +
                           " describes the log as it is, and --follow needs the window: give one "
                           "of them");
}

// Refuses what a run of tables over many logs cannot go with: both tables in one stream, and the
// options of a chart of one log.
bool CheckTables(const CommandLine& command, std::string* err) {
    const bool summary = !command.summary.empty(), brakings = !command.brakings.empty();
    if (!summary && !brakings)
        return !command.noHeader ||
               Refuse(err,
                      "plovo: --no-header goes with --summary or --brakings, which is not given");
    if (command.summary == "-" && command.brakings == "-")
        return Refuse(err,
                      "plovo: --summary and --brakings both name standard output (-): two "
                      "tables cannot share one stream; give one of them a file");
    const char* chart = !command.snapshot.empty()      ? "--snapshot"
                        : !command.overview.empty()    ? "--overview"
                        : !command.plot.empty()        ? "--plot"
                        : !command.exportTable.empty() ? "--export"
                        : command.stats                ? "--stats"
                        : command.follow               ? "--follow"
                        : command.startGiven           ? "--start"
                        : command.at                   ? "--at"
                                                       : nullptr;
    return chart == nullptr ||
           Refuse(err, std::string("plovo: ") + (summary ? "--summary" : "--brakings") +
                           " takes logs only, and " + chart + " is about a chart of one: give " +
                           "one of them");
}

// The first option given that only the plot takes, while --plot is not given; null for none.
const char* PlotOnly(const CommandLine& command) {
    if (!command.plot.empty()) return nullptr;
    return command.plotSizeGiven      ? "--plot-size"
           : command.xGiven           ? "--x"
           : !command.compare.empty() ? "--compare"
           : command.title            ? "--title"
                                      : nullptr;
}

// Refuses options that cannot go together.
bool CheckConflicts(const CommandLine& command, std::string* err) {
    if (!CheckTables(command, err)) return false;
    if (command.at && command.startGiven)
        return Refuse(err, "plovo: --at and --start both say where to open: give one of them");
    if (command.to && command.plot.empty() && command.exportTable.empty() && !command.stats)
        return Refuse(err,
                      "plovo: --to goes with --plot, --export or --stats, none of which is given");
    if (const char* option = PlotOnly(command))
        return Refuse(err,
                      std::string("plovo: ") + option + " goes with --plot, which is not given");
    if (TableToStandardOutput(command) && command.stats)
        return Refuse(err,
                      "plovo: --export - and --stats both write to standard output: give one of "
                      "them");
    if (command.to && command.at && *command.to < *command.at)
        return Refuse(err, "plovo: --to " + ExactText(*command.to) + " is earlier than --at " +
                               ExactText(*command.at));
    return !command.follow || CheckFollow(command, err);
}

// Takes the option in argv[i] (and its value, which may be the next argument); false when it
// is refused.
bool TakeOption(int argc, char** argv, int& i, CommandLine* command, std::string* err) {
    std::string arg = argv[i];
    if (arg[1] != '-') {  // one or more letters
        for (char letter : arg.substr(1)) {
            const KnownOption* known = FindShort(letter, err);
            if (known == nullptr || !Apply(known->id, "", command, err)) return false;
        }
        return true;
    }
    std::string::size_type equals = arg.find('=');
    std::string written = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
    const KnownOption* known = FindLong(written, err);
    if (known == nullptr) return false;
    const std::string shown = "plovo: option --" + Printable(written);
    if (!known->takesValue && equals != std::string::npos)
        return Refuse(err, shown + " takes no value");
    if (known->takesValue && equals == std::string::npos && i + 1 == argc)
        return Refuse(err, shown + " needs a value");
    std::string value = !known->takesValue            ? ""
                        : equals != std::string::npos ? arg.substr(equals + 1)
                                                      : argv[++i];
    return Apply(known->id, value, command, err);
}
}  // namespace

bool ParseOptions(int argc, char** argv, CommandLine* command, std::string* err) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            command->args.insert(command->args.end(), argv + i + 1, argv + argc);
            break;
        }
        if (arg.size() < 2 || arg[0] != '-')
            command->args.push_back(arg);
        else if (!TakeOption(argc, argv, i, command, err))
            return false;
    }
    // A table through a link to standard output (/dev/stdout) on a file is written as - writes
    // it: onto the file a shell opened there (>>), never renamed over it.
    for (std::string* table : {&command->exportTable, &command->summary, &command->brakings})
        if (!table->empty() && IsStandardOutput(*table, true)) *table = "-";
    if (!CheckConflicts(*command, err)) return false;
    // A followed log opens on its last full screen, as a start past its end would.
    if (command->follow && !command->startGiven && !command->at) command->start = kPastTheEnd;
    return true;
}

std::vector<std::string> NamedOutputs(const CommandLine& command) {
    std::vector<std::string> outputs;
    for (const std::string* path : {&command.snapshot, &command.overview, &command.plot,
                                    &command.exportTable, &command.summary, &command.brakings})
        if (!path->empty() && *path != "-") outputs.push_back(*path);
    return outputs;
}

std::vector<std::string> Outputs(const CommandLine& command) {
    std::vector<std::string> outputs = NamedOutputs(command);
    // A table on standard output that a shell pointed at a file (>> run.dat) is that file, which
    // must not be a log either.
    bool toStandardOutput =
        command.exportTable == "-" || command.summary == "-" || command.brakings == "-";
    if (toStandardOutput && IsStandardOutput("/dev/stdout", true)) outputs.push_back("/dev/stdout");
    return outputs;
}

std::vector<std::string> Inputs(const CommandLine& command) {
    if (!command.summary.empty() || !command.brakings.empty()) return command.args;  // every one
    std::vector<std::string> inputs;
    if (!command.args.empty()) inputs.push_back(command.args[0]);
    if (!command.compare.empty()) inputs.push_back(command.compare);
    return inputs;
}

bool TableToStandardOutput(const CommandLine& command) {
    return command.exportTable == "-" || command.summary == "-" || command.brakings == "-";
}

bool CheckChartList(const CommandLine& command, std::size_t charts, std::string* err) {
    const char* one = !command.snapshot.empty() && !command.standIn         ? "--snapshot"
                      : !command.overview.empty()                           ? "--overview"
                      : command.stats                                       ? "--stats"
                      : command.plot.empty() && command.exportTable.empty() ? "the window"
                                                                            : nullptr;
    return charts <= 1 || one == nullptr ||
           Refuse(err, std::string("plovo: ") + one +
                           " shows one chart type: a list of them is for --plot and --export");
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
            "  --stats                     print the samples, time span, minimum, maximum,\n"
            "                              first and last values, change, integral and mean\n"
            "  --plot FILE                 draw the first view's stretch against time as a\n"
            "                              report chart (.png .svg .pdf), a panel a chart type\n"
            "  --to SECONDS                with --plot, --export or --stats: the stretch from\n"
            "                              the --start/--at sample to the last at SECONDS or\n"
            "                              earlier\n"
            "  --plot-size WxH             with --plot: its size (800x500, 250 higher for each\n"
            "                              further panel; 100 to 10000 each)\n"
            "  --x time|distance           with --plot: draw against time or distance [m]\n"
            "  --compare OTHER.dat         with --plot: draw OTHER's run too, in orange\n"
            "  --title TEXT                with --plot: its title (\"\" for none)\n"
            "  --export FILE               write the stretch's samples as CSV, from the first\n"
            "                              (or sample 1) to --to or the end; - for standard\n"
            "                              output\n"
            "  -f, --follow                keep reading the log as it grows; the window\n"
            "                              follows its end while it shows it\n"
            "  --summary FILE              write a CSV row of figures per log to FILE (- for\n"
            "                              standard output); every argument is then a log\n"
            "  --brakings FILE             write a CSV row per brake application of each log\n"
            "  --no-header                 write the tables without their header rows\n"
            "  -h, --help                  show this help and exit\n"
            "  --version                   show the version and exit\n"
            "\n"
            "Chart types (columns of the log; without one, display:default applies), by\n"
            "number or by name (any case; a unique beginning such as brake-p will do):\n";
    for (int type = 1; type <= kChartTypes; ++type)
        text << std::right << std::setw(4) << type << "  " << std::left << std::setw(18)
             << ChartName(type) << ChartLabel(type) << "\n";
    std::vector<std::string> names = ChannelNames();  // the derived channels after the columns
    for (std::size_t k = kChartTypes; k < names.size(); ++k)
        text << "      " << std::setw(18) << names[k] << ChannelLabel(ChannelsNamed(names[k])[0])
             << "\n";
    text << "  Numbers above 11 show that column of the log as \"Not supported!\". The last\n"
            "  three, by name only, are computed: distance and traction energy as trapezoid\n"
            "  sums over time of velocity and of traction power (traction force x velocity).\n"
            "  A comma-separated list (velocity,brake-pressure) is for --plot and --export:\n"
            "  a panel, or a column, for each.\n"
            "\n"
            "Keys:\n"
            "  Right / Left              scroll by one sample\n"
            "  Shift+Right / Shift+Left  scroll by ten samples\n"
            "  Ctrl+Right / Ctrl+Left    move the cursor; the status bar shows its value\n"
            "  Escape                    quit (so does the window's close button)\n"
            "The window's title names the sample under the cursor, its exact time and value.\n"
            "\n"
            "Settings: plovo.ini in the directory of the program as it was started (argv[0]),\n"
            "or in the current directory when started without a directory; an installed\n"
            "plovo reads /etc/plovo/plovo.ini or PREFIX/etc/plovo/plovo.ini (man plovo):\n"
            "[display] width, height (pixels), fullscreen (yes/no), default (chart type);\n"
            "[analysis] brake_on (MPa), stop_speed (m/s) for --summary and --brakings.\n";
    return text.str();
}

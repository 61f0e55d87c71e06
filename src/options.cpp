// The command line's options made into the run's plan, the usage line and --help.
#include "options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <map>
#include <optional>
#include <sstream>

#include "charttypes.h"
#include "number.h"
#include "output.h"
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

// A whole decimal number of at most 9 digits, else none.
std::optional<std::int64_t> ReadWhole(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoll(text);
}

// Whether `text` is a numeric IPv4 or IPv6 address: what the explorer may listen on.
bool IsAddress(const std::string& text) {
    unsigned char address[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.c_str(), address) == 1 ||
           inet_pton(AF_INET6, text.c_str(), address) == 1;
}

// "WxH", each a whole number from kMinPlotSide to kMaxPlotSide, else none.
std::optional<PlotSize> ReadPlotSize(const std::string& text) {
    int sides[2] = {0, 0};
    std::size_t at = 0;
    for (int side = 0; side < 2; ++side) {
        std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            sides[side] = std::min(sides[side] * 10 + (text[at++] - '0'), kMaxPlotSide + 1);
        bool separated = side == 1 || (at < text.size() && (text[at] == 'x' || text[at] == 'X'));
        if (at == start || !separated) return std::nullopt;
        at += side == 0 ? 1 : 0;
    }
    bool fits = std::all_of(std::begin(sides), std::end(sides),
                            [](int side) { return side >= kMinPlotSide && side <= kMaxPlotSide; });
    if (at != text.size() || !fits) return std::nullopt;
    return PlotSize{sides[0], sides[1]};
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
    NoHeader,
    Serve,
    Port,
    Bind
};

struct KnownOption {
    const char* name;  // after "--"
    char letter;       // after "-", or 0; options with a letter take no value
    bool takesValue;
    Opt id;
};

const KnownOption kOptions[] = {{"start", 0, true, Opt::Start},
                                {"at", 0, true, Opt::At},
                                {"snapshot", 0, true, Opt::Snapshot},
                                {"no-display-snapshot", 0, true, Opt::NoDisplaySnapshot},
                                {"overview", 0, true, Opt::Overview},
                                {"stats", 0, false, Opt::Stats},
                                {"plot", 0, true, Opt::Plot},
                                {"to", 0, true, Opt::To},
                                {"plot-size", 0, true, Opt::PlotSize},
                                {"x", 0, true, Opt::X},
                                {"compare", 0, true, Opt::Compare},
                                {"title", 0, true, Opt::Title},
                                {"export", 0, true, Opt::Export},
                                {"follow", 'f', false, Opt::Follow},
                                {"help", 'h', false, Opt::Help},
                                {"version", 0, false, Opt::Version},
                                {"summary", 0, true, Opt::Summary},
                                {"brakings", 0, true, Opt::Brakings},
                                {"no-header", 0, false, Opt::NoHeader},
                                {"serve", 0, false, Opt::Serve},
                                {"port", 0, true, Opt::Port},
                                {"bind", 0, true, Opt::Bind}};

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

const char* NameOf(Opt id) {
    for (const KnownOption& known : kOptions)
        if (known.id == id) return known.name;
    return "";
}

bool operator==(const PlotSize& a, const PlotSize& b) {
    return a.width == b.width && a.height == b.height;
}

// What the command line gives, option by option, before the plan is made of it.
struct Given {
    bool help = false, version = false, stats = false, follow = false, noHeader = false;
    bool serve = false;
    std::optional<int> port;
    std::optional<std::string> bind;
    std::optional<std::int64_t> start;
    std::optional<double> at, to;
    std::optional<PlotSize> plotSize;
    std::optional<XAxis> x;
    std::optional<std::string> compare, title, noDisplaySnapshot;
    std::vector<std::string> snapshots, overviews, plots, exports, summaries, brakings;
    std::vector<std::string> args;
    std::map<Opt, std::string> written;  // an option of one value: the value as first written

    bool Batch() const {
        return !snapshots.empty() || !overviews.empty() || !plots.empty() || !exports.empty() ||
               stats;
    }
    bool Tables() const { return !summaries.empty() || !brakings.empty(); }
};

// Takes the value of an option that has one: refused when it was given before with another.
template <typename T>
bool Once(Opt id, const std::string& text, const T& value, std::optional<T>* slot, Given* given,
          std::string* err) {
    if (*slot && !(**slot == value))
        return Refuse(err, "plovo: --" + std::string(NameOf(id)) + " is given twice, as '" +
                               Printable(given->written[id]) + "' and '" + Printable(text) +
                               "': it takes one value");
    *slot = value;
    given->written.emplace(id, text);
    return true;
}

// An output's file into `files`; refused when the name is empty, or its extension names no
// format `use` writes.
bool TakeFile(Opt id, const std::string& value, std::vector<std::string>* files,
              std::optional<FormatUse> use, std::string* err) {
    Format format;
    if (use && !FormatOf(value, *use, &format, err)) return false;
    if (value.empty())
        return Refuse(err, "plovo: --" + std::string(NameOf(id)) +
                               " takes a file name, or - for standard output" +
                               (id == Opt::Export ? "" : ", not ''"));
    files->push_back(value);
    return true;
}

// --x's value: time or distance, in any case, or a beginning of one.
std::optional<XAxis> ReadXAxis(const std::string& value) {
    std::string lower = LowercaseAscii(value);
    if (lower.empty()) return std::nullopt;
    if (std::string("time").rfind(lower, 0) == 0) return XAxis::kTime;
    if (std::string("distance").rfind(lower, 0) == 0) return XAxis::kDistance;
    return std::nullopt;
}

// Takes one option and its value ("" for none); false when the value is refused.
bool Apply(Opt id, const std::string& value, Given* given, std::string* err) {
    auto refuse = [&](const std::string& what) {
        return Refuse(err, "plovo: --" + std::string(NameOf(id)) + " takes " + what + ", not '" +
                               Printable(value) + "'");
    };
    switch (id) {
        case Opt::Start:
            if (std::optional<std::int64_t> start = ReadStart(value))
                return Once(id, value, *start, &given->start, given, err);
            return refuse("a sample number of 1 or more");
        case Opt::At:
        case Opt::To:
            if (std::optional<double> seconds = ReadSeconds(value.c_str()))
                return Once(id, value, *seconds, id == Opt::At ? &given->at : &given->to, given,
                            err);
            return refuse("a time in seconds");
        case Opt::PlotSize:
            if (std::optional<PlotSize> size = ReadPlotSize(value))
                return Once(id, value, *size, &given->plotSize, given, err);
            return refuse("WIDTHxHEIGHT, each 100 to 10000 pixels");
        case Opt::X:
            if (std::optional<XAxis> x = ReadXAxis(value))
                return Once(id, value, *x, &given->x, given, err);
            return refuse("time or distance");
        case Opt::Compare:
            return Once(id, value, value, &given->compare, given, err);
        case Opt::Title:
            return Once(id, value, value, &given->title, given, err);
        case Opt::NoDisplaySnapshot: {
            Format format;
            return FormatOf(value, FormatUse::kPicture, &format, err) &&
                   Once(id, value, value, &given->noDisplaySnapshot, given, err);
        }
        case Opt::Snapshot:
            return TakeFile(id, value, &given->snapshots, FormatUse::kPicture, err);
        case Opt::Overview:
            return TakeFile(id, value, &given->overviews, FormatUse::kPicture, err);
        case Opt::Plot:
            return TakeFile(id, value, &given->plots, FormatUse::kPlot, err);
        case Opt::Export:
            return TakeFile(id, value, &given->exports, std::nullopt, err);
        case Opt::Summary:
            return TakeFile(id, value, &given->summaries, std::nullopt, err);
        case Opt::Brakings:
            return TakeFile(id, value, &given->brakings, std::nullopt, err);
        case Opt::Stats:
            given->stats = true;
            return true;
        case Opt::Follow:
            given->follow = true;
            return true;
        case Opt::Help:
            given->help = true;
            return true;
        case Opt::Version:
            given->version = true;
            return true;
        case Opt::NoHeader:
            given->noHeader = true;
            return true;
        case Opt::Serve:
            given->serve = true;
            return true;
        case Opt::Port:
            if (std::optional<std::int64_t> port = ReadWhole(value); port && *port <= 65535)
                return Once(id, value, static_cast<int>(*port), &given->port, given, err);
            return refuse("a port number from 0 to 65535");
        case Opt::Bind:
            if (IsAddress(value)) return Once(id, value, value, &given->bind, given, err);
            return refuse("an IPv4 or IPv6 address");
    }
    return true;
}

// Takes the option in argv[i] (and its value, which may be the next argument); false when it
// is refused.
bool TakeOption(int argc, char** argv, int& i, Given* given, std::string* err) {
    std::string arg = argv[i];
    if (arg[1] != '-') {  // one or more letters
        for (char letter : arg.substr(1)) {
            const KnownOption* known = FindShort(letter, err);
            if (known == nullptr || !Apply(known->id, "", given, err)) return false;
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
    return Apply(known->id, value, given, err);
}

// The outputs that write to standard output, as the messages name them ("--export -").
std::vector<std::string> StandardOutputWriters(const Given& given) {
    std::vector<std::string> writers;
    for (auto [id, files] :
         {std::pair<Opt, const std::vector<std::string>*>{Opt::Export, &given.exports},
          {Opt::Summary, &given.summaries},
          {Opt::Brakings, &given.brakings}})
        for (const std::string& file : *files)
            if (file == "-") writers.push_back("--" + std::string(NameOf(id)) + " -");
    if (given.stats) writers.push_back("--stats");
    return writers;
}

// The first option of a chart of one log given, or null: what a run of tables cannot go with.
const char* ChartOption(const Given& given) {
    return !given.snapshots.empty()   ? "--snapshot"
           : !given.overviews.empty() ? "--overview"
           : !given.plots.empty()     ? "--plot"
           : !given.exports.empty()   ? "--export"
           : given.stats              ? "--stats"
           : given.follow             ? "--follow"
           : given.start              ? "--start"
           : given.at                 ? "--at"
                                      : nullptr;
}

// The first option given that only the plot takes, while --plot is not given; null for none.
const char* PlotOnly(const Given& given) {
    if (!given.plots.empty()) return nullptr;
    return given.plotSize  ? "--plot-size"
           : given.x       ? "--x"
           : given.compare ? "--compare"
           : given.title   ? "--title"
                           : nullptr;
}

// The first option given that only the explorer takes, while --serve is not given; or, with
// --serve, the first output or option of a chart it cannot go with. Null for none.
const char* ServeConflict(const Given& given) {
    if (!given.serve) return given.port ? "--port" : given.bind ? "--bind" : nullptr;
    if (given.Tables()) return given.summaries.empty() ? "--brakings" : "--summary";
    return ChartOption(given);
}

// Refuses options that cannot go together, in one place.
bool CheckConflicts(const Given& given, std::string* err) {
    if (const char* option = ServeConflict(given)) {
        if (!given.serve)
            return Refuse(
                err, std::string("plovo: ") + option + " goes with --serve, which is not given");
        // --follow, --start and --at say how a window opens; the others are outputs.
        bool output = std::string(option) != "--follow" && std::string(option) != "--start" &&
                      std::string(option) != "--at";
        return Refuse(
            err, std::string("plovo: --serve shows the logs in a browser, and ") + option +
                     (output ? " is an output of its own" : " is about the window on one log") +
                     ": give one of them");
    }
    const std::vector<std::string> writers = StandardOutputWriters(given);
    if (!given.summaries.empty() && !given.brakings.empty() &&
        std::count(writers.begin(), writers.end(), "--summary -") +
                std::count(writers.begin(), writers.end(), "--brakings -") >=
            2)
        return Refuse(err,
                      "plovo: --summary and --brakings both name standard output (-): two "
                      "tables cannot share one stream; give one of them a file");
    if (!given.Tables() && given.noHeader)
        return Refuse(err,
                      "plovo: --no-header goes with --summary or --brakings, which is not given");
    if (given.Tables())
        if (const char* chart = ChartOption(given))
            return Refuse(err, std::string("plovo: ") +
                                   (given.summaries.empty() ? "--brakings" : "--summary") +
                                   " takes logs only, and " + chart +
                                   " is about a chart of one: " + "give one of them");
    if (given.at && given.start)
        return Refuse(err, "plovo: --at and --start both say where to open: give one of them");
    if (given.to && given.plots.empty() && given.exports.empty() && !given.stats)
        return Refuse(err,
                      "plovo: --to goes with --plot, --export or --stats, none of which is given");
    if (const char* option = PlotOnly(given))
        return Refuse(err,
                      std::string("plovo: ") + option + " goes with --plot, which is not given");
    if (writers.size() >= 2)
        return Refuse(err, "plovo: " + writers[0] + " and " + writers[1] +
                               " both write to standard output: give one of them");
    if (given.to && given.at && *given.to < *given.at)
        return Refuse(err, "plovo: --to " + ExactText(*given.to) + " is earlier than --at " +
                               ExactText(*given.at));
    if (given.follow && given.Batch()) {
        const char* output = !given.snapshots.empty()   ? "--snapshot"
                             : !given.overviews.empty() ? "--overview"
                             : given.stats              ? "--stats"
                             : !given.plots.empty()     ? "--plot"
                                                        : "--export";
        return Refuse(err, std::string("plovo: ") + output +
                               " describes the log as it is, and --follow needs the window: give "
                               "one of them");
    }
    return true;
}

// The mode the options ask for; a window without a display becomes the stand-in snapshot.
Mode ModeOf(const Given& given, bool displayed) {
    if (given.help) return Mode::kHelp;
    if (given.version) return Mode::kVersion;
    if (given.Tables()) return Mode::kTables;
    if (given.serve && !given.args.empty()) return Mode::kServe;
    if (given.args.empty()) return Mode::kUsage;
    bool exportOnly = !given.exports.empty() && given.snapshots.empty() &&
                      given.overviews.empty() && given.plots.empty() && !given.stats;
    if (exportOnly) return Mode::kExportAlone;
    if (given.Batch() || (given.noDisplaySnapshot && !displayed)) return Mode::kBatch;
    return Mode::kWindow;
}

Plan MakePlan(const Given& given, const char* display) {
    Plan plan;
    bool displayed = display != nullptr && *display != '\0';
    plan.mode = ModeOf(given, displayed);
    plan.args = given.args;
    const StretchChoice stretch{given.start.value_or(1), given.at, given.to};
    // A followed log opens on its last full screen, as a start past its end would.
    std::int64_t windowStart =
        given.follow && !given.start && !given.at ? kPastTheEnd : stretch.start;
    plan.window = {windowStart, given.at, given.follow};
    plan.noDisplaySnapshot = given.noDisplaySnapshot.value_or("");
    BatchRequest& batch = plan.batch;
    batch.snapshots = given.snapshots;
    batch.overviews = given.overviews;
    batch.standIn = plan.mode == Mode::kBatch && !given.Batch();
    if (batch.standIn) batch.snapshots = {plan.noDisplaySnapshot};
    batch.plot = {
        given.plots, given.plotSize, given.x.value_or(XAxis::kTime), given.compare.value_or(""),
        given.title, stretch};
    batch.exports = {given.exports, stretch};
    batch.stats = {given.stats, given.to ? std::optional<StretchChoice>(stretch) : std::nullopt};
    batch.start = stretch.start;
    batch.at = given.at;
    plan.tables = {given.summaries, given.brakings, given.noHeader, given.args};
    plan.serve = {given.args, given.port, given.bind.value_or("127.0.0.1")};
    plan.console = plan.mode == Mode::kWindow || batch.standIn ||
                   (plan.mode == Mode::kUsage && !given.Batch() && !given.serve);
    return plan;
}
}  // namespace

bool ParseOptions(int argc, char** argv, const char* display, Plan* plan, std::string* err) {
    Given given;
    bool taken = true;
    std::string first;  // the first refusal; the rest is still read, for the mode it tells
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            given.args.insert(given.args.end(), argv + i + 1, argv + argc);
            break;
        }
        std::string why;
        if (arg.size() < 2 || arg[0] != '-')
            given.args.push_back(arg);
        else if (!TakeOption(argc, argv, i, &given, &why) && taken) {
            taken = false;
            first = why;
        }
    }
    *plan = MakePlan(given, display);
    if (!taken) return Refuse(err, first);
    return CheckConflicts(given, err);
}

std::string HelpText() {
    std::ostringstream text;
    text << "Usage: plovo [OPTIONS] <file>.dat [chart_type]\n"
            "Shows one column of a rail-vehicle simulator's telemetry log as a chart.\n"
            "\n"
            "Options (before, between or after the arguments; -- ends them). A long option\n"
            "may be shortened to any beginning that names it alone, as --snap for --snapshot.\n"
            "An output may be given several times, a file each, all from one reading of the log.\n"
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
            "  --serve                     explore the logs (and folders of logs) in a web\n"
            "                              browser, at the address plovo prints, until Ctrl+C\n"
            "  --port N                    with --serve: listen on port N (8823, or the next\n"
            "                              free one; 0 for any)\n"
            "  --bind ADDRESS              with --serve: listen on ADDRESS (127.0.0.1)\n"
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

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
#include <tuple>

#include "charttypes.h"
#include "number.h"
#include "output.h"
#include "settings.h"
#include "summary.h"
#include "text.h"

const char* const kUsage = "plovo <file>.dat chart_type\nDetails: ReadMe.txt";
const char* const kVersion = PLOVO_VERSION;

namespace {
constexpr std::int64_t kMaxDpi = 100000;  // dots per inch: 3.9 million pixels a metre

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
    Origin,
    Units,
    Label,
    Marks,
    Dpi,
    PlotBrakings,
    Before,
    After,
    BrakeOn,
    StopSpeed,
    Sort,
    Top,
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

// Two options a row, as they came: the later ones after the first nineteen.
// clang-format off
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
    {"no-header", 0, false, Opt::NoHeader},
    {"origin", 0, true, Opt::Origin},      {"units", 0, true, Opt::Units},
    {"label", 0, true, Opt::Label},        {"marks", 0, false, Opt::Marks},
    {"dpi", 0, true, Opt::Dpi},            {"plot-brakings", 0, true, Opt::PlotBrakings},
    {"before", 0, true, Opt::Before},      {"after", 0, true, Opt::After},
    {"brake-on", 0, true, Opt::BrakeOn},   {"stop-speed", 0, true, Opt::StopSpeed},
    {"sort", 0, true, Opt::Sort},          {"top", 0, true, Opt::Top},
    {"serve", 0, false, Opt::Serve},       {"port", 0, true, Opt::Port},
    {"bind", 0, true, Opt::Bind}};
// clang-format on

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
    bool serve = false, marks = false;
    std::optional<int> port;
    std::optional<std::string> bind;
    std::optional<std::int64_t> start, dpi, top;
    std::optional<double> at, to, before, after, brakeOn, stopSpeed;
    std::optional<PlotSize> plotSize;
    std::optional<XAxis> x;
    std::optional<Origin> origin;
    std::optional<std::string> compare, title, noDisplaySnapshot, units, sort;
    std::vector<std::string> snapshots, overviews, plots, exports, summaries, brakings;
    std::vector<std::string> brakingPlots;
    Labels labels;
    std::vector<std::string> args;
    std::map<Opt, std::string> written;  // an option of one value: the value as first written

    bool Batch() const {
        return !snapshots.empty() || !overviews.empty() || !plots.empty() || !exports.empty() ||
               !brakingPlots.empty() || stats;
    }
    bool Tables() const { return !summaries.empty() || !brakings.empty(); }
    bool Figures() const { return !plots.empty() || !brakingPlots.empty(); }
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

// --origin's value: log, start or brake, in any case, or a beginning of one.
std::optional<Origin> ReadOrigin(const std::string& value) {
    std::string lower = LowercaseAscii(value);
    if (lower.empty()) return std::nullopt;
    for (auto [name, origin] :
         {std::pair{"log", Origin::kLog}, {"start", Origin::kStart}, {"brake", Origin::kBrake}})
        if (std::string(name).rfind(lower, 0) == 0) return origin;
    return std::nullopt;
}

// A chart type as --label names it: a number from 1, or a name or a unique beginning of one.
std::optional<Channel> ReadLabelledChart(const std::string& text) {
    if (std::optional<std::int64_t> number = ReadStart(text))
        return *number <= INT32_MAX
                   ? std::optional<Channel>(ColumnChannel(static_cast<int>(*number)))
                   : std::nullopt;
    std::vector<Channel> named = ChannelsNamed(text);
    if (named.size() != 1) return std::nullopt;
    return named[0];
}

// --label CHART=TEXT into the labels; a chart type labelled twice, another way, is refused.
bool TakeLabel(const std::string& value, Labels* labels, std::string* err) {
    std::string::size_type equals = value.find('=');
    std::optional<Channel> chart;
    if (equals != std::string::npos) chart = ReadLabelledChart(value.substr(0, equals));
    if (!chart || equals + 1 == value.size())
        return Refuse(err, "plovo: --label takes CHART=TEXT, a chart type and its label, not '" +
                               Printable(value) + "'");
    std::string text = value.substr(equals + 1);
    for (const auto& [labelled, given] : *labels)
        if (labelled == *chart && given != text)
            return Refuse(err, "plovo: --label gives " + Printable(value.substr(0, equals)) +
                                   " two labels, '" + Printable(given) + "' and '" +
                                   Printable(text) + "': give one");
    labels->emplace_back(*chart, text);
    return true;
}

// --compare's value: OTHER, or OTHER@T with T a time in seconds. A log whose own name ends in @
// and a number is named with one more @ after it, which stands for no time.
std::pair<std::string, std::optional<double>> SplitCompare(const std::string& value) {
    std::string::size_type at = value.rfind('@');
    if (at == std::string::npos || at == 0) return {value, std::nullopt};
    if (at + 1 == value.size()) return {value.substr(0, at), std::nullopt};
    std::optional<double> seconds = ReadSeconds(value.c_str() + at + 1);
    if (!seconds) return {value, std::nullopt};
    return {value.substr(0, at), seconds};
}

// --plot-brakings' pattern: a plot's file name with %n, the braking's number, and %% for a %.
bool CheckPattern(const std::string& pattern, std::string* err) {
    bool numbered = false;
    for (std::string::size_type at = pattern.find('%'); at != std::string::npos;
         at = pattern.find('%', at + 2)) {
        char next = at + 1 < pattern.size() ? pattern[at + 1] : '\0';
        if (next != 'n' && next != '%')
            return Refuse(err,
                          "plovo: --plot-brakings takes %n for the braking's number and %% "
                          "for a %, not '" +
                              Printable(pattern) + "'");
        numbered = numbered || next == 'n';
    }
    return numbered ||
           Refuse(err,
                  "plovo: --plot-brakings writes a file a braking: its name needs %n, the "
                  "braking's number (brk-%n.pdf), not '" +
                      Printable(pattern) + "'");
}

// --sort's value: the column, and whether it is followed by ":desc" (the largest first) rather
// than ":asc" or nothing.
std::pair<std::string, bool> SortKey(const std::string& value) {
    for (auto [suffix, descending] : {std::pair{":desc", true}, {":asc", false}}) {
        std::string::size_type length = std::strlen(suffix);
        if (value.size() >= length && value.compare(value.size() - length, length, suffix) == 0)
            return {value.substr(0, value.size() - length), descending};
    }
    return {value, false};
}

// A finite decimal number of seconds, at least 0.
std::optional<double> ReadSpan(const std::string& text) {
    std::optional<double> seconds = ReadSeconds(text.c_str());
    if (!seconds || *seconds < 0) return std::nullopt;
    return seconds;
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
            if (SplitCompare(value).first.empty()) return refuse("a log, or a log@SECONDS");
            return Once(id, value, value, &given->compare, given, err);
        case Opt::Origin:
            if (std::optional<Origin> origin = ReadOrigin(value))
                return Once(id, value, *origin, &given->origin, given, err);
            return refuse("log, start or brake");
        case Opt::Units: {
            Units units;
            return units.Read(value, err) && Once(id, value, value, &given->units, given, err);
        }
        case Opt::Label:
            return TakeLabel(value, &given->labels, err);
        case Opt::Marks:
            given->marks = true;
            return true;
        case Opt::Dpi: {
            std::optional<std::int64_t> dpi = ReadStart(value);
            if (dpi && *dpi <= kMaxDpi) return Once(id, value, *dpi, &given->dpi, given, err);
            return refuse("a whole number of dots per inch, 1 to " + std::to_string(kMaxDpi));
        }
        case Opt::PlotBrakings:
            return TakeFile(id, value, &given->brakingPlots, FormatUse::kPlot, err) &&
                   CheckPattern(value, err);
        case Opt::Before:
        case Opt::After:
            if (std::optional<double> seconds = ReadSpan(value))
                return Once(id, value, *seconds, id == Opt::Before ? &given->before : &given->after,
                            given, err);
            return refuse("a time in seconds, 0 or more");
        case Opt::BrakeOn:
        case Opt::StopSpeed:
            if (std::optional<double> number = ReadPositiveDecimal(value.c_str()))
                return Once(id, value, *number,
                            id == Opt::BrakeOn ? &given->brakeOn : &given->stopSpeed, given, err);
            return refuse(std::string("a positive finite decimal number (") +
                          (id == Opt::BrakeOn ? "MPa" : "m/s") + ")");
        case Opt::Sort:
            return Once(id, value, value, &given->sort, given, err);
        case Opt::Top:
            if (std::optional<std::int64_t> top = ReadStart(value))
                return Once(id, value, *top, &given->top, given, err);
            return refuse("a whole number of rows, 1 or more");
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
    return !given.snapshots.empty()      ? "--snapshot"
           : !given.overviews.empty()    ? "--overview"
           : !given.plots.empty()        ? "--plot"
           : !given.brakingPlots.empty() ? "--plot-brakings"
           : !given.exports.empty()      ? "--export"
           : given.stats                 ? "--stats"
           : given.follow                ? "--follow"
           : given.start                 ? "--start"
           : given.at                    ? "--at"
                                         : nullptr;
}

// An option given without the outputs it goes with: its refusal, or "" for none.
std::string Unaccompanied(const Given& given) {
    bool plot = !given.plots.empty(), figures = given.Figures(), exports = !given.exports.empty();
    bool braking = given.marks || !given.brakingPlots.empty() ||
                   (given.origin == Origin::kBrake && (plot || exports));
    struct Rule {
        bool given, accompanied;
        const char* option;
        const char* with;
    } rules[] = {
        {given.plotSize.has_value(), figures, "--plot-size", "--plot or --plot-brakings"},
        {given.x.has_value(), figures, "--x", "--plot or --plot-brakings"},
        {given.compare.has_value(), plot, "--compare", "--plot"},
        {given.title.has_value(), figures, "--title", "--plot or --plot-brakings"},
        {given.marks, plot, "--marks", "--plot"},
        {given.dpi.has_value(), figures, "--dpi", "--plot or --plot-brakings"},
        {given.origin.has_value(), plot || exports, "--origin", "--plot or --export"},
        {given.units.has_value(), figures || exports || given.stats, "--units",
         "--plot, --plot-brakings, --export or --stats"},
        {!given.labels.empty(), figures || given.stats, "--label",
         "--plot, --plot-brakings or --stats"},
        {given.before.has_value(), !given.brakingPlots.empty(), "--before", "--plot-brakings"},
        {given.after.has_value(), !given.brakingPlots.empty(), "--after", "--plot-brakings"},
        {given.brakeOn.has_value(), given.Tables() || braking, "--brake-on",
         "--summary, --brakings, --plot-brakings, --marks or --origin brake"},
        {given.stopSpeed.has_value(), given.Tables() || braking, "--stop-speed",
         "--summary, --brakings, --plot-brakings, --marks or --origin brake"},
        {given.sort.has_value(), given.Tables(), "--sort", "--summary or --brakings"},
        {given.top.has_value(), given.Tables(), "--top", "--summary or --brakings"},
    };
    for (const Rule& rule : rules)
        if (rule.given && !rule.accompanied)
            return std::string("plovo: ") + rule.option + " goes with " + rule.with +
                   (std::string(rule.with).find(" or ") == std::string::npos
                        ? ", which is not given"
                        : ", none of which is given");
    return "";
}

// Refuses a --sort column that a table given does not have.
bool CheckSortColumn(const Given& given, std::string* err) {
    if (!given.sort) return true;
    std::string column = SortKey(*given.sort).first;
    for (auto [files, columns, name] : {std::tuple{&given.summaries, &SummaryColumns(), "summary"},
                                        {&given.brakings, &BrakingsColumns(), "brakings"}}) {
        if (files->empty() || std::count(columns->begin(), columns->end(), column) > 0) continue;
        std::string list;
        for (const std::string& known : *columns) list += (list.empty() ? "" : ", ") + known;
        return Refuse(err, "plovo: --sort '" + Printable(column) + "': the " + name +
                               " table has no such column; its columns are " + list);
    }
    return true;
}

// Refuses --dpi when no plot is a PNG, the only format that keeps a resolution.
bool CheckDpi(const Given& given, std::string* err) {
    if (!given.dpi) return true;
    std::vector<std::string> files = given.plots;
    files.insert(files.end(), given.brakingPlots.begin(), given.brakingPlots.end());
    for (const std::string& file : files) {
        Format format;
        std::string ignored;
        if (FormatOf(file, FormatUse::kPlot, &format, &ignored) && format == Format::kPng)
            return true;
    }
    return Refuse(err,
                  "plovo: --dpi sets a PNG's resolution, and no plot is a .png: an SVG or "
                  "a PDF is drawn to scale");
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
    bool firstView = !given.snapshots.empty() || !given.overviews.empty() || !given.plots.empty() ||
                     !given.exports.empty() || given.stats;
    if ((given.at || given.start) && !given.brakingPlots.empty() && !firstView)
        return Refuse(err, std::string("plovo: ") + (given.at ? "--at" : "--start") +
                               " goes with the window, --snapshot, --overview, --plot, --export "
                               "or --stats: --plot-brakings draws every braking of the log");
    if (given.to && given.plots.empty() && given.exports.empty() && !given.stats)
        return Refuse(err,
                      "plovo: --to goes with --plot, --export or --stats, none of which is given");
    if (std::string refusal = Unaccompanied(given); !refusal.empty()) return Refuse(err, refusal);
    if (!CheckSortColumn(given, err) || !CheckDpi(given, err)) return false;
    if (writers.size() >= 2)
        return Refuse(err, "plovo: " + writers[0] + " and " + writers[1] +
                               " both write to standard output: give one of them");
    if (given.to && given.at && *given.to < *given.at)
        return Refuse(err, "plovo: --to " + ExactText(*given.to) + " is earlier than --at " +
                               ExactText(*given.at));
    if (given.follow && given.Batch()) {
        const char* output = !given.snapshots.empty()      ? "--snapshot"
                             : !given.overviews.empty()    ? "--overview"
                             : given.stats                 ? "--stats"
                             : !given.plots.empty()        ? "--plot"
                             : !given.brakingPlots.empty() ? "--plot-brakings"
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
    // An export from the brake application needs the records before it: from the extraction.
    bool exportOnly = !given.exports.empty() && given.snapshots.empty() &&
                      given.overviews.empty() && !given.Figures() && !given.stats &&
                      given.origin != Origin::kBrake;
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
    Units units;
    std::string ignored;
    if (given.units) units.Read(*given.units, &ignored);  // read once already
    auto [compare, compareAt] = SplitCompare(given.compare.value_or(""));
    PlotRequest& plot = batch.plot;
    plot.paths = given.plots;
    plot.size = given.plotSize;
    plot.x = given.x.value_or(XAxis::kTime);
    plot.compare = compare;
    plot.title = given.title;
    plot.stretch = stretch;
    plot.origin = given.origin.value_or(Origin::kLog);
    plot.compareAt = compareAt;
    plot.marks = given.marks;
    plot.units = units;
    plot.labels = given.labels;
    if (given.dpi) plot.dpi = static_cast<double>(*given.dpi);
    batch.brakingPlots.patterns = given.brakingPlots;
    batch.brakingPlots.before = given.before.value_or(batch.brakingPlots.before);
    batch.brakingPlots.after = given.after.value_or(batch.brakingPlots.after);
    batch.exports.targets = given.exports;
    batch.exports.stretch = stretch;
    batch.exports.origin = plot.origin;
    batch.exports.units = units;
    batch.stats = {given.stats, given.to ? std::optional<StretchChoice>(stretch) : std::nullopt,
                   units, given.labels};
    batch.start = stretch.start;
    batch.at = given.at;
    plan.tables.summaries = given.summaries;
    plan.tables.brakings = given.brakings;
    plan.tables.noHeader = given.noHeader;
    plan.tables.logs = given.args;
    if (given.sort) std::tie(plan.tables.sortColumn, plan.tables.descending) = SortKey(*given.sort);
    plan.tables.top = given.top;
    plan.brakeOn = given.brakeOn;
    plan.stopSpeed = given.stopSpeed;
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
            "  --origin log|start|brake    with --plot or --export: count time and distance\n"
            "                              from the log's, the stretch's first sample or its\n"
            "                              first brake application\n"
            "  --compare OTHER.dat[@T]     with --plot: draw OTHER's run too, in orange; with\n"
            "                              @T its first sample at T s or later (its first\n"
            "                              brake application then, with --origin brake) where\n"
            "                              the stretch's is\n"
            "  --marks                     with --plot: a line at each brake application and\n"
            "                              stop\n"
            "  --units LIST                convert (km/h, bar, kPa, kN, N, km, MJ) in plots,\n"
            "                              exports and --stats\n"
            "  --label CHART=TEXT          a chart type's label in plots and --stats\n"
            "  --title TEXT                with --plot: its title (\"\" for none)\n"
            "  --dpi N                     a PNG plot's resolution (else it is 16 cm wide)\n"
            "  --plot-brakings PATTERN     a report figure for each braking, %n its number\n"
            "                              (brk-%n.pdf): velocity, brake and pipe pressures\n"
            "                              unless chart types are given\n"
            "  --before S, --after S       with --plot-brakings: from S s before the\n"
            "                              application (10) to S s after its stop or end (5)\n"
            "  --export FILE               write the stretch's samples as CSV, from the first\n"
            "                              (or sample 1) to --to or the end; - for standard\n"
            "                              output\n"
            "  -f, --follow                keep reading the log as it grows; the window\n"
            "                              follows its end while it shows it\n"
            "  --summary FILE              write a CSV row of figures per log to FILE (- for\n"
            "                              standard output); every argument is then a log\n"
            "  --brakings FILE             write a CSV row per brake application of each log\n"
            "  --no-header                 write the tables without their header rows\n"
            "  --sort COLUMN[:desc]        sort the tables' rows of all the logs by COLUMN\n"
            "  --top N                     with --summary or --brakings: the first N rows\n"
            "  --brake-on MPA              the brake-application rule's pressure (brake_on)\n"
            "  --stop-speed MPS            and its stop speed, in place of [analysis]\n"
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
            "[analysis] brake_on (MPa), stop_speed (m/s) for --summary, --brakings,\n"
            "--plot-brakings, --marks and --origin brake.\n";
    return text.str();
}

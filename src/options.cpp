// The command line read, option by option, and made into the run's plan; the usage line, the
// version.
#include "options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "charttypes.h"
#include "given.h"
#include "number.h"
#include "output.h"
#include "settings.h"
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

// Takes the value of an option that has one: refused when it was given before with another.
template <typename T>
bool Once(Opt id, const std::string& text, const T& value, std::optional<T>* slot, Given* given,
          std::string* err) {
    if (*slot && !(**slot == value))
        return Refuse(err, "plovo: --" + std::string(NameOf(id)) + " is given twice, as '" +
                               Printable(given->written[NameOf(id)]) + "' and '" + Printable(text) +
                               "': it takes one value");
    *slot = value;
    given->written.emplace(NameOf(id), text);
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

// A finite decimal number of seconds, at least 0.
std::optional<double> ReadSpan(const std::string& text) {
    std::optional<double> seconds = ReadDecimal(text.c_str());
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
            if (std::optional<double> seconds = ReadDecimal(value.c_str()))
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

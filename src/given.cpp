// What the command line gives, option by option, and the run's plan made of it: the conflicts
// refused in one place, the mode, a request per output.
#include "given.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "number.h"
#include "output.h"
#include "summary.h"
#include "text.h"

std::pair<std::string, std::optional<double>> SplitCompare(const std::string& value) {
    std::string::size_type at = value.rfind('@');
    if (at == std::string::npos || at == 0) return {value, std::nullopt};
    if (at + 1 == value.size()) return {value.substr(0, at), std::nullopt};
    std::optional<double> seconds = ReadDecimal(value.c_str() + at + 1);
    if (!seconds) return {value, std::nullopt};
    return {value.substr(0, at), seconds};
}

std::pair<std::string, bool> SortKey(const std::string& value) {
    for (auto [suffix, descending] : {std::pair{":desc", true}, {":asc", false}}) {
        std::string::size_type length = std::strlen(suffix);
        if (value.size() >= length && value.compare(value.size() - length, length, suffix) == 0)
            return {value.substr(0, value.size() - length), descending};
    }
    return {value, false};
}

namespace {
// The outputs that write to standard output, as the messages name them ("--export -").
std::vector<std::string> StandardOutputWriters(const Given& given) {
    std::vector<std::string> writers;
    for (auto [option, files] : {std::pair{"--export -", &given.exports},
                                 {"--summary -", &given.summaries},
                                 {"--brakings -", &given.brakings}})
        for (const std::string& file : *files)
            if (file == "-") writers.push_back(option);
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
}  // namespace

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

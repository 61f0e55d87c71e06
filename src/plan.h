// The run's plan, decided once from the command line: its mode, and one request per output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "braking.h"
#include "figures.h"
#include "units.h"

// What the run does.
enum class Mode {
    kUsage,        // no log named: the usage line
    kHelp,         // --help
    kVersion,      // --version
    kWindow,       // the viewer
    kBatch,        // pictures, plots, an export beside them, figures: one pass, then each output
    kExportAlone,  // the export written as the log is read, with no temporary file
    kTables,       // the summary and brakings tables of many logs
    kServe,        // the explorer: a local web server over logs and folders of logs
};

// A sample number past the end of any log: the window opens on the last full screen. Larger
// numbers given to --start saturate here.
constexpr std::int64_t kPastTheEnd = INT64_MAX / 16;

// What the report plot's panels are drawn against (--x).
enum class XAxis { kTime, kDistance };

// Where the x axis of a report plot or an export counts from (--origin): the log's own time and
// distance, the stretch's first sample, or the stretch's first brake application.
enum class Origin { kLog, kStart, kBrake };

// Picture size in pixels (points for PDF, px for SVG).
struct PlotSize {
    int width = 800;
    int height = 500;
};
constexpr int kMinPlotSide = 100;
constexpr int kMaxPlotSide = 10000;

// The report plots of the stretch (--plot, given once for each file).
struct PlotRequest {
    std::vector<std::string> paths;  // each a PNG, SVG or PDF by its name
    std::optional<PlotSize> size;    // --plot-size; else one that grows with the panels
    XAxis x = XAxis::kTime;
    std::string compare;               // a second log whose run is drawn beside the first
    std::optional<std::string> title;  // in place of its own; "" for none
    // The stretch: from --start/--at to --to, or, without --to, the window's first view.
    StretchChoice stretch;
    Origin origin = Origin::kLog;
    // s: the compared run's first sample at this time or later (its first brake application then,
    // with Origin::kBrake) is drawn where the stretch's first sample (brake application) is.
    std::optional<double> compareAt;
    // The explorer's: aligned at the compared run's brake application of this number (1, 2, ...)
    // in place of compareAt's time, which a log whose time starts again holds more than once.
    std::optional<std::int64_t> compareBraking;
    bool marks = false;  // a line at each brake application and stop
    Units units;
    Labels labels;
    std::optional<double> dpi;  // a PNG's resolution; else its width is 16 cm
    BrakingRule rule;           // where brake applications and stops are
};

// One report figure per brake application of the log (--plot-brakings), drawn as PlotRequest
// asks, against its application with its marks.
struct BrakingPlotsRequest {
    std::vector<std::string> patterns;  // file names with %n, the braking's number
    std::vector<Channel> charts;        // the panels; none: the run's chart types
    double before = 10.0;               // s before the application
    double after = 5.0;                 // s after the stop, or the application's end
};

// The CSV exports of the stretch, from --start/--at to --to or to the end ("-": standard output).
struct ExportRequest {
    std::vector<std::string> targets;
    StretchChoice stretch;
    Origin origin = Origin::kLog;  // of the time and distance columns
    Units units;
    BrakingRule rule;
};

// The figures --stats prints: the whole log's, and, with --to, the stretch's too.
struct StatsRequest {
    bool asked = false;
    std::optional<StretchChoice> stretch;
    Units units;
    Labels labels;
};

// What a batch run writes, in this order: snapshots, overviews, plots, exports, the stand-in's
// line, the figures.
struct BatchRequest {
    std::vector<std::string> snapshots;  // the window's first frame
    std::vector<std::string> overviews;  // the whole log, the first view marked
    bool standIn = false;                // the snapshot stands in for a window without a display
    PlotRequest plot;
    BrakingPlotsRequest brakingPlots;  // with the plot's size, axis, title, units, labels, dpi
    ExportRequest exports;
    StatsRequest stats;
    std::int64_t start = 1;    // the record the window opens at, as asked
    std::optional<double> at;  // seconds: open at the first record of this time or later
};

// The summary and brakings tables over logs (each "-" for standard output, or a file).
struct TableRequest {
    std::vector<std::string> summaries, brakings;
    bool noHeader = false;
    std::vector<std::string> logs;  // every argument, in order
    std::string sortColumn;         // --sort: rows of all the logs by this column; "" for none
    bool descending = false;
    std::optional<std::int64_t> top;  // --top: the first rows only
};

// The explorer (--serve): the logs and folders to serve, where to listen.
struct ServeRequest {
    std::vector<std::string> paths;  // logs and folders, in order
    std::optional<int> port;         // --port; else the first free from kServePort
    std::string bind = "127.0.0.1";  // --bind
};
constexpr int kServePort = 8823;  // tried first, then the next ones up to kServeLastPort
constexpr int kServeLastPort = 8873;

// The viewer's window.
struct WindowRequest {
    std::int64_t start = 1;
    std::optional<double> at;
    bool follow = false;  // keep reading the log as it grows
};

struct Plan {
    Mode mode = Mode::kUsage;
    // The run keeps the console's ways, the window's: messages on standard output and a wait for
    // Enter after a failure. Every other run writes them to standard error and never waits.
    bool console = true;
    std::vector<std::string> args;  // LOG [CHART_TYPE] ..., in order, as the options left them
    WindowRequest window;
    std::string noDisplaySnapshot;  // what the window saves instead when there is no display
    // --brake-on (MPa) and --stop-speed (m/s), in place of plovo.ini's [analysis].
    std::optional<double> brakeOn, stopSpeed;
    BatchRequest batch;
    TableRequest tables;
    ServeRequest serve;

    // The log named first, "" when none.
    const std::string& log() const;
};

// The files the run writes ("-" for standard output) and the files it reads: for the checks made
// before anything is read.
std::vector<std::string> Outputs(const Plan& plan);
std::vector<std::string> Inputs(const Plan& plan);
// Whether an output goes to standard output ("-", or a link to it), which then carries it alone.
bool WritesStandardOutput(const Plan& plan);
// Refuses two outputs, or an output and --stats, that would write into one standard output (a
// pipe, a file): "-" and a link to it, say. A terminal or a device such as /dev/null may be
// shared. False with one line in err.
bool CheckOneStandardOutputWriter(const Plan& plan, std::string* err);
// The files the run's outputs must not be, --stats's standard output among them ("-").
std::vector<std::string> OutputsAndFigures(const Plan& plan);

// What the run takes from plovo.ini, so that a run is never refused over a setting it does not
// use: the screen size, the chart type, the analysis thresholds.
struct SettingsUse {
    bool screen = false;
    bool chartType = false;
    bool analysis = false;
};
SettingsUse SettingsUsedBy(const Plan& plan);

// Refuses a list of several chart types (`charts` of them) for an output that shows one: the
// window, --snapshot, --overview, --stats.
bool CheckChartList(const Plan& plan, std::size_t charts, std::string* err);

// The panels of --plot-brakings' figures when no chart type is given: velocity, brake-pressure,
// pipe-pressure.
std::vector<Channel> DefaultBrakingCharts();
// The file --plot-brakings' `pattern` names for braking `number`: %n the number, %% a %.
std::string BrakingPlotPath(const std::string& pattern, std::int64_t number);

// Refuses a unit (--units) that fits no chart type the outputs show, or a label (--label) for a
// chart type no plot nor --stats shows, naming both; `charts` are the run's chart types.
bool CheckUnitsAndLabels(const Plan& plan, const std::vector<Channel>& charts, std::string* err);

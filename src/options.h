// The command line's options, the usage line and --help.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plot.h"

// Printed when no log file is named.
extern const char* const kUsage;
// The program's version, from the build.
extern const char* const kVersion;

// A sample number past the end of any log: the window opens on the last full screen. Larger
// numbers given to --start saturate here.
constexpr std::int64_t kPastTheEnd = INT64_MAX / 16;

// What the report plot's panels are drawn against (--x).
enum class XAxis { kTime, kDistance };

// What the options ask for, and the arguments left once they are taken out.
struct CommandLine {
    bool help = false;
    bool version = false;
    std::int64_t start = 1;         // record to show first, as asked; at least 1
    bool startGiven = false;        // --start was given
    std::optional<double> at;       // seconds: open at the first record of this time or later
    std::string snapshot;           // picture to write instead of opening the window
    std::string noDisplaySnapshot;  // the same, only when there is no display to open it on
    bool standIn = false;           // snapshot is noDisplaySnapshot, standing in for the window
    std::string overview;           // picture of the whole log to write instead
    bool stats = false;             // print the log's figures instead
    bool follow = false;            // keep reading the log while the window is open
    std::string plot;               // report chart of a stretch to write instead
    PlotFormat plotFormat = PlotFormat::kPng;
    std::optional<double> to;  // seconds: the plot's stretch ends before the first record above
    PlotSize plotSize;         // pixels
    bool plotSizeGiven = false;
    XAxis xAxis = XAxis::kTime;
    bool xGiven = false;
    std::string compare;               // a second log whose run the plot draws beside the first
    std::optional<std::string> title;  // the plot's title in place of its own; "" for none
    std::string exportTable;           // CSV of the stretch to write instead ("-": standard output)
    std::string summary;               // CSV table of a row per log, "-" for standard output
    std::string brakings;              // CSV table of a row per brake application
    bool noHeader = false;             // the tables without their header rows
    std::vector<std::string> args;     // LOG [CHART_TYPE] ..., in order
};

// Takes the options out of argv wherever they stand (until "--") into command. A long option
// may be shortened to any beginning that names it alone. False with one line in err when an
// option is wrong.
bool ParseOptions(int argc, char** argv, CommandLine* command, std::string* err);

// The files the run writes, for CheckOutputsAreNotInputs; standard output only where a shell
// pointed it at a file, as /dev/stdout.
std::vector<std::string> Outputs(const CommandLine& command);
// The files the run opens by their names, for CheckOutputsWritable: not standard output, which
// is open already (a file the shell opened may be one plovo could not open itself).
std::vector<std::string> NamedOutputs(const CommandLine& command);
// The files the run reads: the log, and the compared log when there is one.
std::vector<std::string> Inputs(const CommandLine& command);
// True when standard output carries a table, and so nothing else.
bool TableToStandardOutput(const CommandLine& command);

// Refuses a list of several chart types (`charts` of them) for an output that shows one: the
// window, --snapshot, --overview, --stats.
bool CheckChartList(const CommandLine& command, std::size_t charts, std::string* err);

// The text of --help.
std::string HelpText();

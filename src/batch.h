// Batch outputs: the pictures and figures plovo writes instead of opening its window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "charttypes.h"
#include "extraction.h"
#include "figures.h"
#include "options.h"
#include "viewer.h"

// What the extraction must keep for the outputs asked for: no record at all for --stats alone,
// which takes its figures as the log is read.
LogExtraction::Records RecordsFor(const CommandLine& command);
// Whether --export is the run's only output, which it then writes as the log is read (no
// temporary file), from the records ChosenStretch chooses.
bool ExportsAlone(const CommandLine& command);
// The stretch of --start/--at and --to, as --plot, --export and --stats take it.
StretchChoice ChosenStretch(const CommandLine& command);

// The stretch whose figures --stats prints with --to, taken as the log is read: from the
// --start/--at record up to --to, as --plot --to finds it. None without --to.
std::optional<StretchChoice> StatsStretch(const CommandLine& command);

// True when the command asks for outputs rather than the window.
bool WantsBatch(const CommandLine& command);

// When the command asks for the window and `display` (DISPLAY) names none, makes
// noDisplaySnapshot its snapshot and sets standIn, so that WriteBatch saves it and says where.
void UseNoDisplaySnapshot(CommandLine& command, const char* display);

// Writes what the command asks for, in this order: the snapshot of the viewer's first frame, the
// overview with the viewer's window marked, the report plot, the CSV export; for a stand-in
// snapshot, the line that says where it went; the figures on standard output. `extraction` holds
// ExtractedChannels(charts, command.xAxis). False with one line in err at the first that fails.
// `start` is the record the command asks to open at (past the end when --at finds none).
bool WriteBatch(const CommandLine& command, std::int64_t start, Viewer& viewer,
                const std::string& logName, const std::vector<Channel>& charts,
                const LogExtraction& extraction, std::string* err);

// The --stats lines: "log:", "chart:", "samples:" and "time:" of the whole log, then "min:",
// "max:", "first:", "last:", "change:", "integral:" and "mean:" of the whole log or, when given,
// of `stretch`, after a "stretch:" line. Numbers as the shortest text that reads back as the
// same double.
std::string StatsText(const std::string& logName, const Channel& chart, const StretchFigures& whole,
                      const std::optional<StretchFigures>& stretch);

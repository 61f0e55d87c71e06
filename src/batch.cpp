// Batch outputs: the pictures and figures plovo writes instead of opening its window.
#include "batch.h"

#include <algorithm>
#include <iostream>

#include "chart.h"
#include "charttypes.h"
#include "export.h"
#include "globals.h"
#include "graphics.h"
#include "number.h"
#include "overview.h"
#include "picture.h"
#include "records.h"
#include "reportplot.h"
#include "text.h"

namespace {
// "<v> at sample <i> (<t> s)".
std::string At(double sample, std::int64_t record, double time) {
    return ExactText(sample) + " at sample " + std::to_string(record) + " (" + ExactText(time) +
           " s)";
}

// The same for the first record of an extreme, or "none".
std::string Occurrence(double sample, std::int64_t record, double time) {
    if (record == 0) return "none";
    return At(sample, record, time);
}

std::string Figure(const std::optional<double>& figure) {
    return figure ? ExactText(*figure) : "none";
}

// The figures' lines after "time:": the stretch's ends (when asked for), its extremes, first and
// last values, change, integral and mean, or "none" for each when it has no record.
std::string FigureLines(const StretchFigures& f, bool stretchLine) {
    bool empty = f.records == 0;
    std::string text;
    if (stretchLine)
        text += empty ? std::string("stretch: none\n")
                      : "stretch: samples " + std::to_string(f.firstRecord) + " to " +
                            std::to_string(f.lastRecord) + " (" + ExactText(f.firstTime) + " to " +
                            ExactText(f.lastTime) + " s)\n";
    text += "min: " + Occurrence(f.range.minimum, f.range.minimumRecord, f.minimumTime) + "\n";
    text += "max: " + Occurrence(f.range.maximum, f.range.maximumRecord, f.maximumTime) + "\n";
    text += "first: " + (empty ? "none" : At(f.first, f.firstRecord, f.firstTime)) + "\n";
    text += "last: " + (empty ? "none" : At(f.last, f.lastRecord, f.lastTime)) + "\n";
    text += "change: " + Figure(f.Change()) + "\n";
    text += "integral: " + (empty ? "none" : ExactText(f.integral)) + "\n";
    text += "mean: " + Figure(f.Mean()) + "\n";
    return text;
}

std::string OutOfMemory(const std::string& path) {
    return "plovo: cannot draw the picture for '" + Printable(path) + "': out of memory";
}

// Draws the frame the viewer shows after its first pass and saves it as `path`.
bool SaveSnapshot(Viewer& viewer, const std::string& path, std::string* err) {
    BITMAP* picture = create_bitmap(iscrWidth, iscrHeight);
    bool saved = false;
    if (picture == nullptr || !ShowFirstFrame(viewer, picture)) {
        *err = OutOfMemory(path);
    } else {
        ViewerPass(viewer, KeySnapshot{}, picture);
        saved = WritePicture(picture, path, err);
    }
    if (picture != nullptr) destroy_bitmap(picture);
    DestroyCanvases(viewer.canvases);
    return saved;
}

bool SaveOverview(const std::string& path, std::int64_t first, const SampleRange& range,
                  std::string* err) {
    Canvases canvases;
    bool saved = CreateCanvases(canvases);
    if (!saved) *err = OutOfMemory(path);
    if (saved) {
        DrawOverview(canvases, first, range);
        saved = WritePicture(canvases.frame, path, err);
    }
    DestroyCanvases(canvases);
    return saved;
}

bool SavePictures(const CommandLine& command, Viewer& viewer, const SampleRange& range,
                  std::string* err) {
    if (!command.snapshot.empty() && !SaveSnapshot(viewer, command.snapshot, err)) return false;
    return command.overview.empty() || SaveOverview(command.overview, isFp, range, err);
}

// The plot's records: the window as it opens (at isFp), or from the record asked for (`start`,
// past the end when none is) up to --to.
RecordSpan PlotRecords(const CommandLine& command, std::int64_t start) {
    if (!command.to) return {isFp, std::min<std::int64_t>(isFp + iscrWidth - 1, iFc)};
    return RecordsUpTo(start, *command.to);
}

// The export's records: from the record asked for up to --to, or to the end of the log.
RecordSpan ExportRecords(const CommandLine& command, std::int64_t start) {
    if (!command.to) return {start, iFc};
    return RecordsUpTo(start, *command.to);
}

bool SaveReports(const CommandLine& command, std::int64_t start, const std::string& logName,
                 const std::vector<Channel>& charts, const LogExtraction& extraction,
                 std::string* err) {
    if (!command.plot.empty() &&
        !SavePlot(command, PlotRecords(command, start), logName, charts, extraction, err))
        return false;
    return command.exportTable.empty() ||
           WriteExport(command.exportTable, ExportRecords(command, start), charts, extraction, err);
}
}  // namespace

LogExtraction::Records RecordsFor(const CommandLine& command) {
    bool statsAlone = command.stats && command.snapshot.empty() && command.overview.empty() &&
                      command.plot.empty() && command.exportTable.empty();
    return statsAlone ? LogExtraction::Records::kFiguresOnly : LogExtraction::Records::kWritten;
}

bool ExportsAlone(const CommandLine& command) {
    return !command.exportTable.empty() && command.snapshot.empty() && command.overview.empty() &&
           command.plot.empty() && !command.stats;
}

StretchChoice ChosenStretch(const CommandLine& command) {
    return {command.start, command.at, command.to};
}

std::optional<StretchChoice> StatsStretch(const CommandLine& command) {
    if (!command.stats || !command.to) return std::nullopt;
    return ChosenStretch(command);
}

bool WantsBatch(const CommandLine& command) {
    return !command.snapshot.empty() || !command.overview.empty() || !command.plot.empty() ||
           !command.exportTable.empty() || command.stats;
}

void UseNoDisplaySnapshot(CommandLine& command, const char* display) {
    bool window = !command.help && !command.version && !WantsBatch(command);
    if (!window || command.noDisplaySnapshot.empty() || (display != nullptr && *display != '\0'))
        return;
    command.snapshot = command.noDisplaySnapshot;
    command.standIn = true;
}

bool WriteBatch(const CommandLine& command, std::int64_t start, Viewer& viewer,
                const std::string& logName, const std::vector<Channel>& charts,
                const LogExtraction& extraction, std::string* err) {
    if (!command.snapshot.empty() || !command.overview.empty()) {
        if (!OpenPictureGraphics(err)) return false;
        bool saved = SavePictures(command, viewer, extraction.range(), err);
        ClosePictureGraphics();
        if (!saved) return false;
    }
    if (!SaveReports(command, start, logName, charts, extraction, err)) return false;
    if (command.standIn)
        std::cout << "plovo: no display (DISPLAY is not set); the chart is in " +
                         Printable(command.snapshot)
                  << std::endl;
    // A failed write to standard output is reported by StatusAfterOutput, as for every line.
    if (command.stats) {
        std::optional<StretchFigures> stretch;
        if (command.to) stretch = extraction.chosenFigures();
        std::cout << StatsText(logName, charts[0], extraction.figures(), stretch);
    }
    return true;
}

std::string StatsText(const std::string& logName, const Channel& chart, const StretchFigures& whole,
                      const std::optional<StretchFigures>& stretch) {
    std::string text = "log: " + Printable(logName) + "\n";
    text += "chart: " + ChannelId(chart) + " " + ChannelLabel(chart) + "\n";
    text += "samples: " + std::to_string(whole.records) + "\n";
    text += whole.records == 0 ? std::string("time: none\n")
                               : "time: " + ExactText(whole.firstTime) + " to " +
                                     ExactText(whole.lastTime) + " s\n";
    return text + FigureLines(stretch ? *stretch : whole, stretch.has_value());
}

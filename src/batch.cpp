// Batch outputs: the pictures and figures plovo writes instead of opening its window.
#include "batch.h"

#include <charconv>
#include <iostream>

#include "chart.h"
#include "globals.h"
#include "overview.h"
#include "picture.h"
#include "platform.h"

namespace {
// The shortest text that reads back as exactly `number`.
std::string Exact(double number) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, number).ptr);
}

// "<v> at sample <i> (<t> s)", or "none".
std::string Occurrence(double sample, std::int64_t record) {
    if (record == 0) return "none";
    return Exact(sample) + " at sample " + std::to_string(record) + " (" +
           Exact(RecordTime(static_cast<int>(record))) + " s)";
}

bool SaveOverview(const std::string& path, std::int64_t first, const SampleRange& range,
                  std::string& error) {
    Canvases canvases;
    bool saved = CreateCanvases(canvases);
    if (!saved)
        error = "plovo: cannot draw the picture for '" + Printable(path) + "': out of memory";
    if (saved) {
        DrawOverview(canvases, first, range);
        saved = WritePicture(canvases.frame, path, error);
    }
    DestroyCanvases(canvases);
    return saved;
}

bool SavePictures(const CommandLine& command, Viewer& viewer, const SampleRange& range,
                  std::string& error) {
    std::int64_t first = isFp;  // the window as it opens, before anything moves it
    if (!command.snapshot.empty() && !SaveSnapshot(viewer, command.snapshot, error)) return false;
    return command.overview.empty() || SaveOverview(command.overview, first, range, error);
}
}  // namespace

bool WantsBatch(const CommandLine& command) {
    return !command.snapshot.empty() || !command.overview.empty() || command.stats;
}

void UseNoDisplaySnapshot(CommandLine& command, const char* display) {
    bool window = !command.help && !command.version && !WantsBatch(command);
    if (!window || command.noDisplaySnapshot.empty() || (display != nullptr && *display != '\0'))
        return;
    command.snapshot = command.noDisplaySnapshot;
    command.standIn = true;
}

bool WriteBatch(const CommandLine& command, Viewer& viewer, const std::string& logName,
                int chartType, const SampleRange& range, std::string& error) {
    if (!command.snapshot.empty() || !command.overview.empty()) {
        if (!OpenPictureGraphics(error)) return false;
        bool saved = SavePictures(command, viewer, range, error);
        ClosePictureGraphics();
        if (!saved) return false;
    }
    if (command.standIn)
        std::cout << "plovo: no display (DISPLAY is not set); the chart is in " +
                         Printable(command.snapshot)
                  << std::endl;
    if (!command.stats) return true;
    std::cout << StatsText(logName, chartType, range) << std::flush;
    if (std::cout) return true;
    error = "plovo: cannot write the figures to standard output";
    return false;
}

std::string StatsText(const std::string& logName, int chartType, const SampleRange& range) {
    std::string text = "log: " + Printable(logName) + "\n";
    text += "chart: " + std::to_string(chartType) + " " + ChartLabel(chartType) + "\n";
    text += "samples: " + std::to_string(iFc) + "\n";
    text += iFc == 0 ? std::string("time: none\n")
                     : "time: " + Exact(RecordTime(1)) + " to " + Exact(RecordTime(iFc)) + " s\n";
    text += "min: " + Occurrence(range.minimum, range.minimumRecord) + "\n";
    text += "max: " + Occurrence(range.maximum, range.maximumRecord) + "\n";
    return text;
}

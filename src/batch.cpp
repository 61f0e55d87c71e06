// A batch run: the pictures, plots, exports and figures plovo writes instead of opening its
// window, all from one pass over the log.
#include "batch.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>

#include "brakeevents.h"
#include "brakingplots.h"
#include "export.h"
#include "globals.h"
#include "graphics.h"
#include "kolejka.h"
#include "picture.h"
#include "records.h"
#include "reportplot.h"
#include "session.h"
#include "stats.h"
#include "text.h"
#include "viewer.h"

namespace {
// Whether the outputs show the window as it opens: the pictures, and a plot without --to.
bool ShowsWindow(const BatchRequest& request) {
    return !request.snapshots.empty() || !request.overviews.empty() ||
           (!request.plot.paths.empty() && !request.plot.stretch.to);
}

// Has the extraction keep no more records than the outputs draw: a plot or an export of a
// stretch ends with it, a plot of the first view with its last record. The pictures, the
// brakings' figures and an export to the end need every record.
void NeedOnlyWhatIsDrawn(const BatchRequest& request, LogExtraction& extraction) {
    const PlotRequest& plot = request.plot;
    const ExportRequest& exports = request.exports;
    bool whole = !request.snapshots.empty() || !request.overviews.empty() ||
                 !request.brakingPlots.patterns.empty() ||
                 (!exports.targets.empty() && !exports.stretch.to);
    if (whole) return;
    if (!plot.paths.empty())
        extraction.NeedOnly(plot.stretch, plot.stretch.to ? INT64_MAX : iscrWidth);
    if (!exports.targets.empty()) extraction.NeedOnly(exports.stretch);
}

// Whether an output needs the brake applications: a plot or an export from one, marks, the
// brakings' figures.
bool NeedsBrakings(const BatchRequest& request) {
    bool plot = !request.plot.paths.empty(), exports = !request.exports.targets.empty();
    return (plot && (request.plot.marks || request.plot.origin == Origin::kBrake)) ||
           (exports && request.exports.origin == Origin::kBrake) ||
           !request.brakingPlots.patterns.empty();
}

// The channels to extract: the plot's (the chart types first, as the window, the pictures and
// the export read them), then those the brakings' figures add.
std::vector<Channel> Extracted(const BatchRequest& request, const std::vector<Channel>& charts) {
    std::vector<Channel> channels = ExtractedChannels(charts, request.plot.x);
    if (request.brakingPlots.patterns.empty()) return channels;
    const std::vector<Channel>& figures =
        request.brakingPlots.charts.empty() ? charts : request.brakingPlots.charts;
    for (const Channel& channel : ExtractedChannels(figures, request.plot.x))
        if (std::find(channels.begin(), channels.end(), channel) == channels.end())
            channels.push_back(channel);
    return channels;
}

// The figures alone: one pass, no temporary file.
bool WriteFiguresAlone(const StatsRequest& request, const std::string& logName,
                       const Channel& chart, std::string* err) {
    LogReader reader(logName);
    StatsFigures figures(chart, request.stretch, reader.columns());
    reader.Add(figures);
    if (!reader.Start(false, err)) return false;
    // A failed write to standard output is reported by StatusAfterOutput, as for every line.
    std::cout << StatsText(logName, chart, figures.whole(), figures.stretch(), request.units,
                           request.labels);
    return true;
}

bool SavePictures(const BatchRequest& request, Viewer& viewer, const SampleRange& range,
                  std::string* err) {
    if (request.snapshots.empty() && request.overviews.empty()) return true;
    if (!OpenPictureGraphics(err)) return false;
    bool saved = true;
    for (const std::string& path : request.snapshots)
        saved = saved && SaveSnapshot(viewer, path, err);
    for (const std::string& path : request.overviews)
        saved = saved && SaveOverview(path, isFp, range, err);
    ClosePictureGraphics();
    return saved;
}

// The plot's records: the window as it opens (at isFp), or from the record asked for (`start`,
// past the end when none is) up to --to.
RecordSpan PlotRecords(const PlotRequest& plot, std::int64_t start) {
    if (!plot.stretch.to) return {isFp, std::min<std::int64_t>(isFp + iscrWidth - 1, iFc)};
    return RecordsUpTo(start, *plot.stretch.to);
}

// The export's records: from the record asked for up to --to, or to the end of the log.
RecordSpan ExportRecords(const ExportRequest& exports, std::int64_t start) {
    if (!exports.stretch.to) return {start, iFc};
    return RecordsUpTo(start, *exports.stretch.to);
}
}  // namespace

bool WriteBatch(const BatchRequest& request, const std::string& logName,
                const std::vector<Channel>& charts,
                const std::function<void(const std::string&)>& say, std::string* err) {
    bool records = !request.snapshots.empty() || !request.overviews.empty() ||
                   !request.plot.paths.empty() || !request.exports.targets.empty() ||
                   !request.brakingPlots.patterns.empty();
    if (!records) return WriteFiguresAlone(request.stats, logName, charts[0], err);

    Session session(logName, Extracted(request, charts));
    std::optional<StatsFigures> figures;
    LogReader& reader = session.extraction().reader();
    if (request.stats.asked) {
        figures.emplace(charts[0], request.stats.stretch, reader.columns());
        reader.Add(*figures);
    }
    std::optional<BrakeEvents> brakings;
    if (NeedsBrakings(request)) {
        brakings.emplace(request.plot.rule, reader.columns());
        reader.Add(*brakings);
        if (!request.brakingPlots.patterns.empty())
            brakings->FigureSpans(request.brakingPlots.before, request.brakingPlots.after);
    }
    NeedOnlyWhatIsDrawn(request, session.extraction());
    if (!session.Open(false, err)) return false;
    if (brakings) brakings->Finish();
    const std::vector<BrakePlace> none;
    const std::vector<BrakePlace>& places = brakings ? brakings->places() : none;
    TypeOfChart(charts[0]);
    std::int64_t start = request.at ? StartAt(*request.at) : request.start;
    std::unique_ptr<kolejka> window;
    if (ShowsWindow(request)) {
        window = std::make_unique<kolejka>(iscrWidth);
        FillWindowAt(*window, start);
    }
    std::optional<Viewer> viewer;
    if (window) viewer.emplace(*window);
    if (viewer && !SavePictures(request, *viewer, session.extraction().range(), err)) return false;
    std::string notice;
    if (!request.plot.paths.empty() &&
        !SavePlot(request.plot, PlotRecords(request.plot, start), logName, charts,
                  session.extraction(), err, brakings ? &places : nullptr, &notice))
        return false;
    if (!notice.empty()) say(notice);
    const BrakingPlotsRequest& figuresOfBrakings = request.brakingPlots;
    if (!figuresOfBrakings.patterns.empty() &&
        !WriteBrakingPlots(figuresOfBrakings, request.plot, places, logName,
                           figuresOfBrakings.charts.empty() ? charts : figuresOfBrakings.charts,
                           session.extraction(), {logName, request.plot.compare}, say, err))
        return false;
    if (!request.exports.targets.empty() &&
        !WriteExport(request.exports, ExportRecords(request.exports, start), charts,
                     session.extraction(), places, err))
        return false;
    if (request.standIn)
        std::cout << "plovo: no display (DISPLAY is not set); the chart is in " +
                         Printable(request.snapshots[0])
                  << std::endl;
    if (figures)
        std::cout << StatsText(logName, charts[0], figures->whole(), figures->stretch(),
                               request.stats.units, request.stats.labels);
    return true;
}

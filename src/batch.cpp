// A batch run: the pictures, plots, exports and figures plovo writes instead of opening its
// window, all from one pass over the log.
#include "batch.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>

#include "export.h"
#include "globals.h"
#include "graphics.h"
#include "kolejka.h"
#include "picture.h"
#include "plot.h"
#include "records.h"
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
// stretch ends with it, a plot of the first view with its last record. The pictures and an
// export to the end need every record.
void NeedOnlyWhatIsDrawn(const BatchRequest& request, LogExtraction& extraction) {
    const PlotRequest& plot = request.plot;
    const ExportRequest& exports = request.exports;
    bool whole = !request.snapshots.empty() || !request.overviews.empty() ||
                 (!exports.targets.empty() && !exports.stretch.to);
    if (whole) return;
    if (!plot.paths.empty())
        extraction.NeedOnly(plot.stretch, plot.stretch.to ? INT64_MAX : iscrWidth);
    if (!exports.targets.empty()) extraction.NeedOnly(exports.stretch);
}

// The figures alone: one pass, no temporary file.
bool WriteFiguresAlone(const StatsRequest& request, const std::string& logName,
                       const Channel& chart, std::string* err) {
    LogReader reader(logName);
    StatsFigures figures(chart, request.stretch, reader.columns());
    reader.Add(figures);
    if (!reader.Start(false, err)) return false;
    // A failed write to standard output is reported by StatusAfterOutput, as for every line.
    std::cout << StatsText(logName, chart, figures.whole(), figures.stretch());
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
                const std::vector<Channel>& charts, std::string* err) {
    bool records = !request.snapshots.empty() || !request.overviews.empty() ||
                   !request.plot.paths.empty() || !request.exports.targets.empty();
    if (!records) return WriteFiguresAlone(request.stats, logName, charts[0], err);

    Session session(logName, ExtractedChannels(charts, request.plot.x));
    std::optional<StatsFigures> figures;
    LogReader& reader = session.extraction().reader();
    if (request.stats.asked) {
        figures.emplace(charts[0], request.stats.stretch, reader.columns());
        reader.Add(*figures);
    }
    NeedOnlyWhatIsDrawn(request, session.extraction());
    if (!session.Open(false, err)) return false;
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
    if (!request.plot.paths.empty() && !SavePlot(request.plot, PlotRecords(request.plot, start),
                                                 logName, charts, session.extraction(), err))
        return false;
    if (!request.exports.targets.empty() &&
        !WriteExport(request.exports.targets, ExportRecords(request.exports, start), charts,
                     session.extraction(), err))
        return false;
    if (request.standIn)
        std::cout << "plovo: no display (DISPLAY is not set); the chart is in " +
                         Printable(request.snapshots[0])
                  << std::endl;
    if (figures) std::cout << StatsText(logName, charts[0], figures->whole(), figures->stretch());
    return true;
}

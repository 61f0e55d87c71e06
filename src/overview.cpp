// The overview: the whole log in one picture, in the viewer's colours and scale.
#include "overview.h"

#include <cmath>
#include <sstream>

#include "globals.h"

namespace {
// The smallest and largest finite sample of one column, as rows of the chart bitmap.
struct ColumnExtent {
    bool any = false;
    double smallest = 0.0, largest = 0.0;

    void Add(double sample) {
        if (!std::isfinite(sample)) return;
        smallest = any ? std::min(smallest, sample) : sample;
        largest = any ? std::max(largest, sample) : sample;
        any = true;
    }
    void Draw(BITMAP* chart, int x) const {
        if (!any) return;
        std::optional<int> top = SampleRow(largest, chart->h);
        std::optional<int> bottom = SampleRow(smallest, chart->h);
        if (top && bottom) vline(chart, x, *top, *bottom, Green());
    }
};

// One pass over the samples, each column drawn once its last record has been read.
void PlotColumns(BITMAP* chart, std::int64_t records, int width) {
    RecordStream samples(sampleRecordsFd, 1);
    int x = 0;
    RecordSpan span = OverviewColumnRecords(x, records, width);
    ColumnExtent extent;
    for (std::int64_t record = 1; record <= records; ++record) {
        extent.Add(samples.Next());
        if (record < span.last) continue;
        extent.Draw(chart, x);
        extent = ColumnExtent();
        span = OverviewColumnRecords(++x, records, width);
    }
}
}  // namespace

RecordSpan OverviewColumnRecords(int x, std::int64_t records, int width) {
    if (records < width) return x < records ? RecordSpan{x + 1, x + 1} : RecordSpan{};
    return {x * records / width + 1, (x + 1) * records / width};
}

int OverviewColumnOf(std::int64_t record, std::int64_t records, int width) {
    if (records < width) return static_cast<int>(record - 1);
    return static_cast<int>((record * width + records - 1) / records - 1);
}

std::string OverviewStatusText(std::int64_t records, const std::string& label,
                               const SampleRange& range) {
    std::ostringstream text;
    text << "(1 : " << records << ")     " << label << "      min: " << range.minimum
         << "  max: " << range.maximum;
    return text.str();
}

void DrawOverview(Canvases& canvases, std::int64_t first, const SampleRange& range) {
    BITMAP* chart = canvases.chart;
    PlaceStrip(chart, canvases.strip);
    PlotColumns(chart, iFc, iscrWidth);
    blit(chart, canvases.frame, 0, 0, 0, 0, chart->w, chart->h);
    DrawStatusText(canvases.statusBar, canvases.frame, OverviewStatusText(iFc, cType, range));
    std::int64_t last = first + iscrWidth - 1;
    DrawCursorLine(canvases.frame, OverviewColumnOf(first, iFc, iscrWidth));
    DrawCursorLine(canvases.frame, OverviewColumnOf(last, iFc, iscrWidth));
}

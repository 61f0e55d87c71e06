// The report plot of a run from its extraction: its panels, the x axis and where it counts from,
// a compared run aligned with it, the brake applications and stops marked, units and labels; and
// the figure of one braking.
#include "reportplot.h"

#include <algorithm>
#include <memory>

#include "files.h"
#include "number.h"
#include "resolution.h"
#include "text.h"
#include "units.h"

namespace {
const Channel kDistance = {0, Derived::kDistance};

// A run's records as a plot's rows: x from its file (the time, or the distance) less `x0`, plus
// `shift`, and converted, then each panel's value converted.
struct RunRows {
    std::vector<int> files;  // x, then the panels'
    RecordSpan span;
    double x0 = 0.0;
    // Where x0 is drawn: added after x0 is taken away, so that a compared run's record at x0
    // lands on the stretch's first x exactly, not a rounding to either side of it.
    double shift = 0.0;
    Conversion x;
    std::vector<Conversion> values;
};

Series RowsOf(const RunRows& run) {
    return [run](const RowVisit& visit) {
        std::vector<double> values(run.values.size());
        ForEachRow(run.files, run.span, [&](std::int64_t, const double* row) {
            for (std::size_t i = 0; i < values.size(); ++i)
                values[i] = Convert(row[i + 1], run.values[i]);
            visit({Convert(row[0] - run.x0 + run.shift, run.x), values.data(), true});
        });
    };
}

// The files a run's rows are read from: its x, then the chart types'.
std::vector<int> RowFiles(const LogExtraction& extraction, const std::vector<Channel>& charts,
                          XAxis x) {
    const std::vector<Channel>& extracted = extraction.extracted();
    auto file = [&](const Channel& channel) {
        auto at = std::find(extracted.begin(), extracted.end(), channel);
        return extraction.file(static_cast<std::size_t>(at - extracted.begin()));
    };
    std::vector<int> files = {x == XAxis::kTime ? extraction.timeFile() : file(kDistance)};
    for (const Channel& chart : charts) files.push_back(file(chart));
    return files;
}

// A record's value in a file of records.
double ValueAt(int file, std::int64_t record) {
    return RecordStream(file, record, record).Next();
}

// The first record from 1 to `records` whose time is `seconds` or later; 0 when none is.
std::int64_t FirstAt(int timeFile, std::int64_t records, double seconds) {
    RecordStream times(timeFile, 1);
    for (std::int64_t record = 1; record <= records; ++record)
        if (times.Next() >= seconds) return record;
    return 0;
}

// The first application that starts within `span`, or null.
const BrakePlace* FirstBrakingIn(const std::vector<BrakePlace>& brakings, RecordSpan span) {
    for (const BrakePlace& place : brakings)
        if (place.startRecord >= span.first && place.startRecord <= span.last) return &place;
    return nullptr;
}

// "LO-HI s", or "LO to HI s" when LO is below 0.
std::string Between(double lo, double hi, const char* unit) {
    return ExactText(lo) + (lo < 0 ? " to " : "-") + ExactText(hi) + " " + unit;
}

// The log's brake applications, read for them alone.
bool ReadBrakings(const std::string& logName, const BrakingRule& rule,
                  std::vector<BrakePlace>* places, std::string* err) {
    LogReader reader(logName);
    BrakeEvents events(rule, reader.columns());
    events.ReadWholeLog();
    reader.Add(events);
    reader.ShowProgress(false);
    if (!reader.Start(false, err)) return false;
    events.Finish();
    *places = events.places();
    return true;
}

// What a figure is drawn from: the runs' rows and what the picture shows beside them.
struct Figure {
    std::vector<Series> runs;
    Plot plot;
};

// The plot's texts and marks for the run's rows `rows` (its x0 chosen): the panels' labels with
// their units, the x axis's title for `origin` (`since` names the stretch's first time), and a
// mark at each application and stop of `brakings` within the span.
Plot Describe(const PlotRequest& request, const std::vector<Channel>& charts, const RunRows& rows,
              Origin origin, const std::string& since, const std::vector<BrakePlace>& brakings,
              bool marks) {
    Plot plot;
    plot.size = request.size.value_or(DefaultPlotSize(static_cast<int>(charts.size())));
    for (const Channel& chart : charts)
        plot.yLabels.push_back(
            ShownLabel(chart, PlotLabel(chart), request.units.For(chart), request.labels));
    bool distance = request.x == XAxis::kDistance;
    std::string quantity = distance ? "Distance" : "Time";
    std::string unit = distance ? (rows.x.unit.empty() ? "m" : rows.x.unit) : "s";
    plot.xLabel = origin == Origin::kLog     ? quantity + " [" + unit + "]"
                  : origin == Origin::kStart ? quantity + " since " + since + " s [" + unit + "]"
                                             : quantity + " since brake application [" + unit + "]";
    plot.breakWhereXFalls = !distance;
    if (request.dpi) plot.pixelsPerMetre = *request.dpi / 0.0254;
    if (!marks) return plot;
    // At the x of their records, the time or the distance.
    auto x = [&](std::int64_t record) {
        return Convert(ValueAt(rows.files[0], record) - rows.x0, rows.x);
    };
    auto within = [&](std::int64_t record) {
        return record >= rows.span.first && record <= rows.span.last;
    };
    for (const BrakePlace& place : brakings) {
        if (within(place.startRecord))
            plot.marks.push_back({x(place.startRecord), "brake " + std::to_string(place.number)});
        if (place.stopped && within(place.stopRecord))
            plot.marks.push_back({x(place.stopRecord), "stop"});
    }
    return plot;
}
}  // namespace

std::vector<Channel> ExtractedChannels(const std::vector<Channel>& charts, XAxis x) {
    std::vector<Channel> channels = charts;
    bool listed = std::find(charts.begin(), charts.end(), kDistance) != charts.end();
    if (x == XAxis::kDistance && !listed) channels.push_back(kDistance);
    return channels;
}

bool SavePlot(const PlotRequest& request, RecordSpan span, const std::string& logName,
              const std::vector<Channel>& charts, const LogExtraction& extraction, std::string* err,
              const std::vector<BrakePlace>* brakings, std::string* notice) {
    if (notice != nullptr) notice->clear();
    const bool distance = request.x == XAxis::kDistance;
    std::vector<BrakePlace> read;
    bool needBrakings = request.marks || request.origin == Origin::kBrake;
    if (needBrakings && brakings == nullptr) {
        if (!ReadBrakings(logName, request.rule, &read, err)) return false;
        brakings = &read;
    }
    const std::vector<BrakePlace> none;
    const std::vector<BrakePlace>& places = brakings != nullptr ? *brakings : none;

    RunRows rows;
    rows.files = RowFiles(extraction, charts, request.x);
    rows.span = span;
    rows.x = distance ? request.units.ForDistance() : Conversion();
    for (const Channel& chart : charts) rows.values.push_back(request.units.For(chart));
    const bool any = span.first <= span.last;
    const double firstX = any ? ValueAt(rows.files[0], span.first) : 0.0;
    const double firstTime = any ? ValueAt(extraction.timeFile(), span.first) : 0.0;
    const double lastTime = any ? ValueAt(extraction.timeFile(), span.last) : 0.0;
    if (request.origin == Origin::kStart) rows.x0 = firstX;
    if (request.origin == Origin::kBrake) {
        const BrakePlace* place = FirstBrakingIn(places, span);
        if (place == nullptr)
            return Refuse(
                err, "plovo: no brake application starts in " + Between(firstTime, lastTime, "s") +
                         " of '" + Printable(logName) + "' (brake_on " +
                         ExactText(request.rule.brakeOn) + " MPa): --origin brake draws from one");
        rows.x0 = ValueAt(rows.files[0], place->startRecord);
    }
    Figure figure;
    figure.plot = Describe(request, charts, rows, request.origin, ExactText(firstTime), places,
                           request.marks);
    figure.plot.title = request.title ? *request.title : PlotTitle(figure.plot.yLabels, logName);
    figure.runs.push_back(RowsOf(rows));

    // The compared run: on the log's own axis, or aligned at @T.
    std::unique_ptr<LogExtraction> other;
    std::unique_ptr<BrakeEvents> otherBrakings;
    RunRows otherRows = rows;
    if (!request.compare.empty()) {
        other =
            std::make_unique<LogExtraction>(request.compare, ExtractedChannels(charts, request.x));
        bool aligned = request.compareAt.has_value() || request.compareBraking.has_value();
        if (aligned && (request.origin == Origin::kBrake || request.compareBraking)) {
            otherBrakings = std::make_unique<BrakeEvents>(request.rule, other->reader().columns());
            other->reader().Add(*otherBrakings);
        }
        if (!other->Start(false, err)) return false;
        if (otherBrakings) otherBrakings->Finish();
        otherRows.files = RowFiles(*other, charts, request.x);
        otherRows.span = {1, other->records()};
        const std::string otherName = "'" + Printable(request.compare) + "'";
        if (aligned) {
            std::int64_t record = 0;
            const BrakePlace* place = nullptr;
            if (request.compareBraking) {
                // Its application of that number, wherever its time is: at its first sample.
                const std::vector<BrakePlace>& places = otherBrakings->places();
                std::int64_t number = *request.compareBraking;
                if (number < 1 || number > static_cast<std::int64_t>(places.size()))
                    return Refuse(err, "plovo: " + otherName + " has no brake application " +
                                           std::to_string(number) + " to align with");
                place = &places[static_cast<std::size_t>(number - 1)];
                record = place->startRecord;
            } else {
                double at = *request.compareAt;
                record = FirstAt(other->timeFile(), other->records(), at);
                if (record == 0)
                    return Refuse(err, "plovo: " + otherName + " has no sample at " +
                                           ExactText(at) + " s or later to align with");
                if (request.origin == Origin::kBrake) {
                    place = FirstBrakingIn(otherBrakings->places(), {record, other->records()});
                    if (place == nullptr)
                        return Refuse(err, "plovo: " + otherName +
                                               " has no brake application at or after " +
                                               ExactText(at) + " s to align with");
                }
            }
            if (request.origin == Origin::kBrake) {
                otherRows.x0 = ValueAt(otherRows.files[0], place->startRecord);
            } else {
                // Its sample at T where this run's first sample is on the axis.
                otherRows.x0 = ValueAt(otherRows.files[0], record);
                otherRows.shift = firstX - rows.x0;
            }
        }
        figure.runs.push_back(RowsOf(otherRows));
        bool same = FileName(logName) == FileName(request.compare);
        figure.plot.legend = {Printable(same ? logName : FileName(logName)),
                              Printable(same ? request.compare : FileName(request.compare))};
    }

    std::vector<bool> drawn;
    for (const std::string& path : request.paths) {
        Format format;
        if (!FormatOf(path, FormatUse::kPlot, &format, err) ||
            !WritePlot(figure.runs, figure.plot, format, path, err, &drawn))
            return false;
    }
    if (other && notice != nullptr && drawn.size() > 1 && !drawn[1]) {
        // The stretch in the compared log's own time or distance.
        double lastX = any ? ValueAt(rows.files[0], span.last) : 0.0;
        double shift = RoundedDifference(otherRows.x0 - otherRows.shift, rows.x0);
        *notice = "plovo: '" + Printable(request.compare) + "' has no samples in " +
                  Between(RoundedDifference(firstX, -shift), RoundedDifference(lastX, -shift),
                          distance ? "m" : "s") +
                  "; nothing drawn for it";
    }
    return true;
}

bool RenderBrakingFigure(const PlotRequest& request, const std::vector<BrakePlace>& brakings,
                         std::size_t braking, const std::string& logName,
                         const std::vector<Channel>& charts, const LogExtraction& extraction,
                         Format format, const PlotBytes& write, std::string* why) {
    const BrakePlace& place = brakings[braking];
    const bool distance = request.x == XAxis::kDistance;
    RunRows rows;
    rows.files = RowFiles(extraction, charts, request.x);
    rows.span = place.figure;
    rows.x = distance ? request.units.ForDistance() : Conversion();
    for (const Channel& chart : charts) rows.values.push_back(request.units.For(chart));
    rows.x0 = ValueAt(rows.files[0], place.startRecord);
    // The applications whose start or stop may fall in the span: its neighbours, which never
    // overlap it by more than their ends.
    std::size_t from = braking, to = braking + 1;
    while (from > 0 &&
           (!brakings[from - 1].ended || brakings[from - 1].endRecord >= rows.span.first))
        --from;
    while (to < brakings.size() && brakings[to].startRecord <= rows.span.last) ++to;
    std::vector<BrakePlace> near(brakings.begin() + static_cast<std::ptrdiff_t>(from),
                                 brakings.begin() + static_cast<std::ptrdiff_t>(to));
    Plot plot = Describe(request, charts, rows, Origin::kBrake, "", near, true);
    std::string number = std::to_string(place.number);
    if (request.title) {
        plot.title = *request.title;
        for (std::string::size_type at = plot.title.find("%n"); at != std::string::npos;
             at = plot.title.find("%n", at + number.size()))
            plot.title.replace(at, 2, number);
    } else {
        plot.title = Printable(FileName(logName)) + " - braking " + number + " at " +
                     ExactText(place.startTime) + " s";
    }
    return RenderPlot({RowsOf(rows)}, plot, format, write, nullptr, why);
}

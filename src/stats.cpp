// The --stats figures: a chart type's figures over the whole log and over a stretch, taken as the
// log is read, and the lines that print them.
#include "stats.h"

#include "number.h"
#include "text.h"

namespace {
// "<v> at sample <i> (<t> s)", v converted.
std::string At(double sample, std::int64_t record, double time, const Conversion& unit) {
    return ExactText(Convert(sample, unit)) + " at sample " + std::to_string(record) + " (" +
           ExactText(time) + " s)";
}

// The same for the first record of an extreme, or "none".
std::string Occurrence(double sample, std::int64_t record, double time, const Conversion& unit) {
    if (record == 0) return "none";
    return At(sample, record, time, unit);
}

std::string Figure(const std::optional<double>& figure, const Conversion& unit) {
    return figure ? ExactText(Convert(*figure, unit)) : "none";
}

// The figures' lines after "time:": the stretch's ends (when asked for), its extremes, first and
// last values, change, integral and mean, or "none" for each when it has no record.
std::string FigureLines(const StretchFigures& f, bool stretchLine, const Conversion& unit) {
    bool empty = f.records == 0;
    std::string text;
    if (stretchLine)
        text += empty ? std::string("stretch: none\n")
                      : "stretch: samples " + std::to_string(f.firstRecord) + " to " +
                            std::to_string(f.lastRecord) + " (" + ExactText(f.firstTime) + " to " +
                            ExactText(f.lastTime) + " s)\n";
    text +=
        "min: " + Occurrence(f.range.minimum, f.range.minimumRecord, f.minimumTime, unit) + "\n";
    text +=
        "max: " + Occurrence(f.range.maximum, f.range.maximumRecord, f.maximumTime, unit) + "\n";
    text += "first: " + (empty ? "none" : At(f.first, f.firstRecord, f.firstTime, unit)) + "\n";
    text += "last: " + (empty ? "none" : At(f.last, f.lastRecord, f.lastTime, unit)) + "\n";
    text += "change: " + Figure(f.Change(), unit) + "\n";
    // Without a finite sample there is nothing to sum: none, as for min and max, not 0.
    bool summed = f.range.minimumRecord != 0;
    text += "integral: " + (summed ? Figure(f.integral, unit) : "none") + "\n";
    text += "mean: " + (summed ? Figure(f.Mean(), unit) : "none") + "\n";
    return text;
}
}  // namespace

StatsFigures::StatsFigures(const Channel& chart, const std::optional<StretchChoice>& stretch,
                           ColumnSet& columns)
    : values({chart}, columns) {
    if (stretch) chosen.emplace(*stretch);
}

void StatsFigures::OnLine(const LogLine& line) {
    values.Next(line);
    double sample = values.Value(0);
    wholeFigures.Add(line.record, values.time(), sample);
    if (chosen && chosen->Takes(line.record, values.time()))
        chosenFigures.Add(line.record, values.time(), sample);
}

std::optional<StretchFigures> StatsFigures::stretch() const {
    if (!chosen) return std::nullopt;
    return chosenFigures.Figures();
}

std::string StatsText(const std::string& logName, const Channel& chart, const StretchFigures& whole,
                      const std::optional<StretchFigures>& stretch, const Units& units,
                      const Labels& labels) {
    const Conversion unit = units.For(chart);
    std::string text = "log: " + Printable(logName) + "\n";
    // A label of --label's is the reader's text, escaped as a name is: one line, no control byte.
    text += "chart: " + ChannelId(chart) + " " +
            Printable(ShownLabel(chart, ChannelLabel(chart), unit, labels)) + "\n";
    text += "samples: " + std::to_string(whole.records) + "\n";
    text += whole.records == 0 ? std::string("time: none\n")
                               : "time: " + ExactText(whole.firstTime) + " to " +
                                     ExactText(whole.lastTime) + " s\n";
    return text + FigureLines(stretch ? *stretch : whole, stretch.has_value(), unit);
}

// The --stats figures: a chart type's figures over the whole log and over a stretch, taken as the
// log is read, and the lines that print them.
#include "stats.h"

#include "number.h"
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
    // Without a finite sample there is nothing to sum: none, as for min and max, not 0.
    bool summed = f.range.minimumRecord != 0;
    text += "integral: " + (summed ? ExactText(f.integral) : "none") + "\n";
    text += "mean: " + (summed ? Figure(f.Mean()) : "none") + "\n";
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
                      const std::optional<StretchFigures>& stretch) {
    std::string text = "log: " + Printable(logName) + "\n";
    text += "chart: " + ChannelId(chart) + " " + ChannelLabel(chart) + "\n";
    text += "samples: " + std::to_string(whole.records) + "\n";
    text += whole.records == 0 ? std::string("time: none\n")
                               : "time: " + ExactText(whole.firstTime) + " to " +
                                     ExactText(whole.lastTime) + " s\n";
    return text + FigureLines(stretch ? *stretch : whole, stretch.has_value());
}

// The figures of a channel's samples: extreme, smallest and largest, and those of a stretch.
#include "figures.h"

#include <cmath>

#include "channels.h"

void SampleFigures::Note(double sample, std::int64_t record) {
    if (!std::isfinite(sample)) return;
    if (std::fabs(sample) > std::fabs(extreme)) extreme = sample;
    if (range.minimumRecord == 0 || sample < range.minimum) {
        range.minimum = sample;
        range.minimumRecord = record;
    }
    if (range.maximumRecord == 0 || sample > range.maximum) {
        range.maximum = sample;
        range.maximumRecord = record;
    }
}

void TimedRange::Note(double sample, std::int64_t record, double time) {
    figures.Note(sample, record);
    if (figures.range.minimumRecord == record) minimumTime = time;
    if (figures.range.maximumRecord == record) maximumTime = time;
}

std::optional<double> StretchFigures::Change() const {
    if (records == 0 || !std::isfinite(first) || !std::isfinite(last)) return std::nullopt;
    return last - first;
}

std::optional<double> StretchFigures::Mean() const {
    bool span = std::isfinite(firstTime) && std::isfinite(lastTime) && lastTime > firstTime;
    if (records == 0 || !span) return std::nullopt;
    return integral / (lastTime - firstTime);
}

void StretchAccumulator::Add(std::int64_t record, double time, double value) {
    if (figures.records == 0) {
        figures.firstRecord = record;
        figures.firstTime = time;
        figures.first = value;
    } else {
        figures.integral += TrapezoidStep(figures.lastTime, figures.last, time, value);
    }
    ++figures.records;
    figures.lastRecord = record;
    figures.lastTime = time;
    figures.last = value;
    range.Note(value, record, time);
}

StretchFigures StretchAccumulator::Figures() const {
    StretchFigures whole = figures;
    whole.range = range.figures.range;
    whole.minimumTime = range.minimumTime;
    whole.maximumTime = range.maximumTime;
    return whole;
}

bool StretchFilter::Takes(std::int64_t record, double time) {
    if (part == Part::kBefore && (choice.at ? time >= *choice.at : record >= choice.start)) {
        part = Part::kIn;
        return true;  // the first record counts whatever its time
    }
    if (part == Part::kIn && choice.to && time > *choice.to) part = Part::kAfter;
    return part == Part::kIn;
}

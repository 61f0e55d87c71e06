// The brake applications and stops of a run, found as the log is read: where each is, by record
// and time, for the report plots' marks and origin and the figure of each braking.
#include "brakeevents.h"

#include <algorithm>
#include <cstring>

#include "number.h"

namespace {
constexpr std::size_t kMostBefore = 65536;  // records a figure reaches back at most
}  // namespace

BrakeEvents::BrakeEvents(const BrakingRule& rule, ColumnSet& columns)
    : rule(rule), finder(rule, [this](const Braking& braking) { Found(braking); }) {
    const int column[3] = {kTimeColumn, kVelocityColumn, 9};  // 9: brake cylinder pressure
    for (int i = 0; i < 3; ++i) fields[i] = columns.Field(column[i]);
}

bool BrakeEvents::Repeated::Same(const FieldText& field) const {
    // A whole column's field, the usual one, is compared at its fixed size, without a call.
    if (field.length == kRecordSize && length == kRecordSize)
        return std::memcmp(field.text, text, kRecordSize) == 0;
    return field.length == length && std::memcmp(field.text, text, length) == 0;
}

double BrakeEvents::Repeated::Number(const FieldText& field) {
    if (Same(field)) return value;
    value = ParseNumber(field.text, field.length);
    length = field.length <= sizeof text ? field.length : SIZE_MAX;  // a longer one: parsed
    if (length != SIZE_MAX) std::memcpy(text, field.text, length);
    return value;
}

void BrakeEvents::FigureSpans(double secondsBefore, double secondsAfter) {
    figures = true;
    before = secondsBefore;
    after = secondsAfter;
}

void BrakeEvents::OnLine(const LogLine& line) {
    record = line.record;
    // Without the figures, a line whose pressure (and, where the application may stop, velocity)
    // reads as the line's before changes nothing: most lines.
    if (!figures && pressure.Same(line.fields[fields[2]]) &&
        (!reaching || velocity.Same(line.fields[fields[1]])))
        return;
    // Each line's pressure, and its velocity where the application may stop; the time only for
    // the figures (a plot takes its marks' times from the records).
    const double time = figures ? line.Number(fields[0]) : NAN;
    const bool timeFell = figures && record > 1 && !(time >= lastTime);  // back, or not a number
    if (figures) {
        if (timeFell) recent.clear();
        recent.emplace_back(record, time);
        while (recent.front().second < time - before || recent.size() > kMostBefore)
            recent.pop_front();
    }
    const double cylinder = pressure.Number(line.fields[fields[2]]);
    const double speed = finder.Reaches(cylinder) ? velocity.Number(line.fields[fields[1]]) : 0.0;
    finder.Next({time, speed, 0.0, cylinder, 0.0});
    const Braking* now = finder.Current();
    if (now != nullptr && !open) {
        BrakePlace place;
        place.number = static_cast<std::int64_t>(places_.size()) + 1;
        place.startRecord = record;
        place.startTime = time;
        if (figures) place.figure.first = recent.front().first;
        places_.push_back(place);
        open = true;
    }
    if (now != nullptr && now->stopped && !places_.back().stopped) {
        BrakePlace& place = places_.back();
        place.stopped = true;
        place.stopRecord = record;
        place.stopTime = time;
        if (figures) closing.push_back(places_.size() - 1);
    }
    reaching = now != nullptr && !now->stopped;
    if (figures) CloseFigures(time, timeFell);
    lastTime = time;
}

// Ends the figures whose last record came before this one: after `after` seconds past their stop
// or end, or where time falls back.
void BrakeEvents::CloseFigures(double time, bool timeFell) {
    auto closed = [&](std::size_t index) {
        BrakePlace& place = places_[index];
        double end = (place.stopped ? place.stopTime : place.endTime) + after;
        if (!timeFell && !(time > end)) return false;
        place.figure.last = std::max(place.figure.first, record - 1);
        return true;
    };
    closing.erase(std::remove_if(closing.begin(), closing.end(), closed), closing.end());
}

void BrakeEvents::Found(const Braking& braking) {
    BrakePlace& place = places_.back();
    open = false;
    place.ended = true;
    place.endTime = braking.endTime;
    // Found at the record after its last one, or at the run's end.
    place.endRecord = finishing ? record : record - 1;
    if (figures && !place.stopped) closing.push_back(places_.size() - 1);
}

void BrakeEvents::Restart() {
    finder = BrakingFinder(rule, [this](const Braking& braking) { Found(braking); });
    places_.clear();
    closing.clear();
    recent.clear();
    record = 0;
    lastTime = 0.0;
    open = reaching = false;
    pressure = velocity = Repeated();
}

void BrakeEvents::Finish() {
    finishing = true;
    finder.Finish();
    finishing = false;
    for (std::size_t index : closing) places_[index].figure.last = record;
    closing.clear();
}

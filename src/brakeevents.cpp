// The brake applications and stops of a run, found as the log is read: where each is, by record,
// time and distance along the run, for the report plots' marks and origin and the figure of
// each braking.
#include "brakeevents.h"

#include <algorithm>

namespace {
constexpr std::size_t kMostBefore = 65536;  // records a figure reaches back at most
}  // namespace

BrakeEvents::BrakeEvents(const BrakingRule& rule, ColumnSet& columns)
    : rule(rule), finder(rule, [this](const Braking& braking) { Found(braking); }) {
    const int column[3] = {kTimeColumn, kVelocityColumn, 9};
    for (int i = 0; i < 3; ++i) fields[i] = columns.Field(column[i]);
}

void BrakeEvents::FigureSpans(double secondsBefore, double secondsAfter) {
    figures = true;
    before = secondsBefore;
    after = secondsAfter;
}

void BrakeEvents::NeedOnly(const StretchChoice& stretch, std::int64_t records) {
    needs.push_back({stretch, records});
    // A stretch by time may be told apart from what came before it: what ended there is dropped.
    dropsBefore = dropsBefore || stretch.to.has_value();
}

void BrakeEvents::OnLine(const LogLine& line) {
    if (Satisfied()) return;
    record = line.record;
    const double time = line.Number(fields[0]), velocity = line.Number(fields[1]);
    derived.Next(time, velocity, 0.0);
    const double distance = derived.distance();
    const bool timeFell = record > 1 && !(time >= lastTime);  // back, or not a number
    for (Need& need : needs)
        if (need.filter.Takes(record, time)) {
            ++need.taken;
            stretchBegun = true;
        }
    if (figures) {
        if (timeFell) recent.clear();
        recent.emplace_back(record, time);
        while (recent.front().second < time - before || recent.size() > kMostBefore)
            recent.pop_front();
    }
    finder.Next({time, velocity, 0.0, line.Number(fields[2]), distance});
    const Braking* now = finder.Current();
    if (now != nullptr && !open) {
        BrakePlace place;
        place.number = ++count;
        place.startRecord = record;
        place.startTime = time;
        place.startDistance = RecordedValue(distance);
        if (figures) place.figure.first = recent.front().first;
        places_.push_back(place);
        open = true;
    }
    if (now != nullptr && now->stopped && !places_.back().stopped) {
        BrakePlace& place = places_.back();
        place.stopped = true;
        place.stopRecord = record;
        place.stopTime = time;
        place.stopDistance = RecordedValue(distance);
        if (figures) closing.push_back(places_.size() - 1);
    }
    if (figures) CloseFigures(record, time, timeFell);
    lastTime = time;
}

// Ends the figures whose last record came before this one: after `after` seconds past their stop
// or end, or where time falls back.
void BrakeEvents::CloseFigures(std::int64_t at, double time, bool timeFell) {
    auto closed = [&](std::size_t index) {
        BrakePlace& place = places_[index];
        double end = (place.stopped ? place.stopTime : place.endTime) + after;
        if (!timeFell && !(time > end)) return false;
        place.figure.last = std::max(place.figure.first, at - 1);
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
    if (dropsBefore && !stretchBegun) places_.pop_back();  // nothing of it shows in the stretch
}

bool BrakeEvents::Satisfied() const {
    if (figures || needs.empty()) return false;
    return std::all_of(needs.begin(), needs.end(), [](const Need& need) { return need.Met(); });
}

void BrakeEvents::Restart() {
    finder = BrakingFinder(rule, [this](const Braking& braking) { Found(braking); });
    derived.Reset();
    places_.clear();
    closing.clear();
    recent.clear();
    count = record = 0;
    lastTime = 0.0;
    open = stretchBegun = false;
    for (Need& need : needs) need = {need.stretch, need.count};
}

void BrakeEvents::Finish() {
    finishing = true;
    finder.Finish();
    finishing = false;
    for (std::size_t index : closing) places_[index].figure.last = record;
    closing.clear();
}

// The summary of one run, taken line by line: its figures and its brake applications, and their
// rows in the summary and brakings tables.
#include "summary.h"

#include <cmath>

#include "number.h"
#include "resolution.h"
#include "text.h"

namespace {
// Counts a brake application into a run's figures.
void Count(const Braking& braking, RunFigures* figures) {
    ++figures->brakings;
    figures->stops += braking.stopped;
    double distance = RecordedValue(braking.distance);
    if (std::isfinite(distance) &&
        (figures->maxBrakingDistanceBraking == 0 || distance > figures->maxBrakingDistance)) {
        figures->maxBrakingDistance = distance;
        figures->maxBrakingDistanceBraking = figures->brakings;
    }
}
}  // namespace

RunSummary::RunSummary(const BrakingRule& rule, BrakingFinder::Found handOver, ColumnSet& columns)
    : found(std::move(handOver)), finder(rule, [this](const Braking& braking) {
          Count(braking, &figures);
          found(braking);
      }) {
    const int column[kFields] = {1, 2, 3, 5, 6, 9, 11};
    for (int i = 0; i < kFields; ++i) fields[i] = columns.Field(column[i]);
}

void RunSummary::OnLine(const LogLine& line) {
    auto parse = [&](int i) { return line.Number(fields[i]); };
    const double time = parse(kTime), velocity = parse(kVelocity);
    std::int64_t record = ++figures.samples;
    if (record == 1) figures.startTime = time;
    figures.endTime = time;
    derived.Next(time, velocity, parse(kForce));
    const double distance = derived.distance();
    figures.speed.Note(velocity, record, time);
    figures.couplerForce.Note(parse(kCoupler), record, time);
    figures.motorCurrent.Note(parse(kCurrent), record, time);
    // The acceleration counts only in a brake application's reach: most records need none.
    const double pressure = parse(kPressure);
    finder.Next({time, velocity, finder.Reaches(pressure) ? parse(kAcceleration) : 0.0, pressure,
                 distance});
}

RunFigures RunSummary::Now(std::optional<Braking>* going) const {
    RunFigures now = figures;
    now.distance = derived.distance();
    now.tractionEnergy = derived.energy();
    going->reset();
    if (const Braking* current = finder.Current()) {
        *going = *current;
        Count(*current, &now);
    }
    return now;
}

const RunFigures& RunSummary::Finish() {
    finder.Finish();
    figures.distance = derived.distance();
    figures.tractionEnergy = derived.energy();
    return figures;
}

namespace {
std::string Header(const std::vector<std::string>& names) {
    std::string row;
    AppendCsvRow(names, &row);
    return row;
}

// A computed value as every output shows it.
std::string Computed(double value) {
    return ExactText(RecordedValue(value));
}

// The value and the time of a column's extreme; empty fields when it has no finite sample.
void AppendExtreme(std::int64_t record, double value, double time,
                   std::vector<std::string>& fields) {
    fields.push_back(record == 0 ? "" : ExactText(value));
    fields.push_back(record == 0 ? "" : ExactText(time));
}
}  // namespace

const std::vector<std::string>& SummaryColumns() {
    static const std::vector<std::string> columns = {"log",
                                                     "samples",
                                                     "start_s",
                                                     "end_s",
                                                     "max_speed_mps",
                                                     "max_speed_at_s",
                                                     "distance_m",
                                                     "traction_energy_kwh",
                                                     "max_coupler_tension_n",
                                                     "max_coupler_tension_at_s",
                                                     "max_coupler_compression_n",
                                                     "max_coupler_compression_at_s",
                                                     "max_motor_current_a",
                                                     "max_motor_current_at_s",
                                                     "brakings",
                                                     "stops",
                                                     "mean_speed_mps",
                                                     "traction_energy_kwh_per_km",
                                                     "max_braking_distance_m",
                                                     "max_braking_distance_braking"};
    return columns;
}

const std::vector<std::string>& BrakingsColumns() {
    static const std::vector<std::string> columns = {"log",
                                                     "braking",
                                                     "start_s",
                                                     "start_speed_mps",
                                                     "end_s",
                                                     "stopped",
                                                     "stop_s",
                                                     "time_to_stop_s",
                                                     "braking_distance_m",
                                                     "mean_deceleration_mps2",
                                                     "max_deceleration_mps2",
                                                     "max_deceleration_at_s",
                                                     "max_brake_pressure_mpa",
                                                     "start_distance_m",
                                                     "stop_distance_m"};
    return columns;
}

std::string SummaryHeader() {
    return Header(SummaryColumns());
}

std::string BrakingsHeader() {
    return Header(BrakingsColumns());
}

std::vector<std::string> SummaryFields(const std::string& log, const RunFigures& run) {
    bool any = run.samples > 0;
    std::vector<std::string> fields = {log, std::to_string(run.samples),
                                       any ? ExactText(run.startTime) : "",
                                       any ? ExactText(run.endTime) : ""};
    const SampleRange& speed = run.speed.figures.range;
    AppendExtreme(speed.maximumRecord, speed.maximum, run.speed.maximumTime, fields);
    const double distance = RecordedValue(run.distance), energy = RecordedValue(run.tractionEnergy);
    fields.push_back(any ? ExactText(distance) : "");
    fields.push_back(any ? ExactText(energy) : "");
    const SampleRange& coupler = run.couplerForce.figures.range;
    AppendExtreme(coupler.maximumRecord, coupler.maximum, run.couplerForce.maximumTime, fields);
    AppendExtreme(coupler.minimumRecord, coupler.minimum, run.couplerForce.minimumTime, fields);
    const SampleRange& current = run.motorCurrent.figures.range;
    AppendExtreme(current.maximumRecord, current.maximum, run.motorCurrent.maximumTime, fields);
    fields.push_back(std::to_string(run.brakings));
    fields.push_back(std::to_string(run.stops));
    // Over the run's time span and per kilometre run; none where those are not positive.
    const double span = RoundedDifference(run.endTime, run.startTime);
    bool moved = any && std::isfinite(distance) && distance > 0;
    fields.push_back(any && std::isfinite(span) && span > 0 ? Computed(distance / span) : "");
    fields.push_back(moved ? Computed(energy / (distance / 1000)) : "");
    bool braked = run.maxBrakingDistanceBraking > 0;
    fields.push_back(braked ? ExactText(run.maxBrakingDistance) : "");
    fields.push_back(braked ? std::to_string(run.maxBrakingDistanceBraking) : "");
    return fields;
}

std::vector<std::string> BrakingFields(const std::string& log, std::int64_t number,
                                       const Braking& braking) {
    const Braking& b = braking;
    double span = b.reachTime - b.startTime;  // s, to the stop or the last record
    return {log,
            std::to_string(number),
            ExactText(b.startTime),
            ExactText(b.startSpeed),
            ExactText(b.endTime),
            b.stopped ? "true" : "false",
            b.stopped ? ExactText(b.stopTime) : "",
            b.stopped ? ExactText(RoundedDifference(b.stopTime, b.startTime)) : "",
            Computed(b.distance),
            b.reachTime == b.startTime ? "" : ExactText((b.startSpeed - b.reachSpeed) / span),
            b.decelerationFound ? ExactText(b.maxDeceleration) : "",
            b.decelerationFound ? ExactText(b.maxDecelerationTime) : "",
            ExactText(b.maxPressure),
            Computed(b.startDistance),
            b.stopped ? Computed(b.stopDistance) : ""};
}

void AppendSummaryRow(const std::string& log, const RunFigures& run, std::string* out) {
    AppendCsvRow(SummaryFields(log, run), out);
}

void AppendBrakingRow(const std::string& log, std::int64_t number, const Braking& braking,
                      std::string* out) {
    AppendCsvRow(BrakingFields(log, number, braking), out);
}

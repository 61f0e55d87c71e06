// The summary and brakings tables: their header rows, and a run's rows, as CSV.
#include "summarytables.h"

#include <vector>

#include "csv.h"
#include "number.h"

namespace {
std::string Header(const std::vector<std::string>& names) {
    std::string row;
    AppendCsvRow(names, &row);
    return row;
}

// The value and the time of a column's extreme; empty fields when it has no finite sample.
void AppendExtreme(std::int64_t record, double value, double time,
                   std::vector<std::string>& fields) {
    fields.push_back(record == 0 ? "" : ExactText(value));
    fields.push_back(record == 0 ? "" : ExactText(time));
}
}  // namespace

std::string SummaryHeader() {
    return Header({"log", "samples", "start_s", "end_s", "max_speed_mps", "max_speed_at_s",
                   "distance_m", "traction_energy_kwh", "max_coupler_tension_n",
                   "max_coupler_tension_at_s", "max_coupler_compression_n",
                   "max_coupler_compression_at_s", "max_motor_current_a", "max_motor_current_at_s",
                   "brakings", "stops"});
}

std::string BrakingsHeader() {
    return Header({"log", "braking", "start_s", "start_speed_mps", "end_s", "stopped", "stop_s",
                   "time_to_stop_s", "braking_distance_m", "mean_deceleration_mps2",
                   "max_deceleration_mps2", "max_deceleration_at_s", "max_brake_pressure_mpa"});
}

void AppendSummaryRow(const std::string& log, const RunFigures& run, std::string* out) {
    bool any = run.samples > 0;
    std::vector<std::string> fields = {log, std::to_string(run.samples),
                                       any ? ExactText(run.startTime) : "",
                                       any ? ExactText(run.endTime) : ""};
    const SampleRange& speed = run.speed.figures.range;
    AppendExtreme(speed.maximumRecord, speed.maximum, run.speed.maximumTime, fields);
    fields.push_back(any ? ExactText(run.distance) : "");
    fields.push_back(any ? ExactText(run.tractionEnergy) : "");
    const SampleRange& coupler = run.couplerForce.figures.range;
    AppendExtreme(coupler.maximumRecord, coupler.maximum, run.couplerForce.maximumTime, fields);
    AppendExtreme(coupler.minimumRecord, coupler.minimum, run.couplerForce.minimumTime, fields);
    const SampleRange& current = run.motorCurrent.figures.range;
    AppendExtreme(current.maximumRecord, current.maximum, run.motorCurrent.maximumTime, fields);
    fields.push_back(std::to_string(run.brakings));
    fields.push_back(std::to_string(run.stops));
    AppendCsvRow(fields, out);
}

void AppendBrakingRow(const std::string& log, std::int64_t number, const Braking& braking,
                      std::string* out) {
    const Braking& b = braking;
    double span = b.reachTime - b.startTime;  // s, to the stop or the last record
    std::vector<std::string> fields = {
        log,
        std::to_string(number),
        ExactText(b.startTime),
        ExactText(b.startSpeed),
        ExactText(b.endTime),
        b.stopped ? "true" : "false",
        b.stopped ? ExactText(b.stopTime) : "",
        b.stopped ? ExactText(b.stopTime - b.startTime) : "",
        ExactText(b.distance),
        b.reachTime == b.startTime ? "" : ExactText((b.startSpeed - b.reachSpeed) / span),
        b.decelerationFound ? ExactText(b.maxDeceleration) : "",
        b.decelerationFound ? ExactText(b.maxDecelerationTime) : "",
        ExactText(b.maxPressure)};
    AppendCsvRow(fields, out);
}

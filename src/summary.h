// The summary of one run, taken line by line: its figures and its brake applications, and their
// rows in the summary and brakings tables.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "braking.h"
#include "channels.h"
#include "figures.h"
#include "logreader.h"

struct RunFigures {
    std::int64_t samples = 0;
    double startTime = 0.0, endTime = 0.0;  // s, of the first and the last record
    double distance = 0.0;                  // m: the distance channel's last value
    double tractionEnergy = 0.0;            // kWh: the traction-energy channel's last value
    TimedRange speed;                       // m/s, column 2
    TimedRange couplerForce;                // N, column 5: tension above 0, compression below
    TimedRange motorCurrent;                // A, column 11
    std::int64_t brakings = 0, stops = 0;   // brake applications, and those that reached a stop
    double maxBrakingDistance = 0.0;        // m: the longest braking distance, as its row writes it
    std::int64_t maxBrakingDistanceBraking = 0;  // its braking's number; 0 when none is finite
};

// Takes a log's data lines and hands each brake application over as it ends.
class RunSummary : public LineConsumer {
  public:
    // Asks `columns` for the columns it reads: time, velocity, acceleration, coupler force,
    // traction force, brake cylinder pressure, motor current.
    RunSummary(const BrakingRule& rule, BrakingFinder::Found found, ColumnSet& columns);
    void OnLine(const LogLine& line) override;
    // Ends the run (an application still on ends at its last record) and gives its figures.
    const RunFigures& Finish();
    // The figures were the run to end now, and the application still going on, if any, into
    // `going`; the run goes on.
    RunFigures Now(std::optional<Braking>* going) const;

  private:
    enum { kTime, kVelocity, kAcceleration, kCoupler, kForce, kPressure, kCurrent, kFields };
    std::size_t fields[kFields];
    RunFigures figures;
    DerivedChannels derived;
    BrakingFinder::Found found;
    BrakingFinder finder;
};

// The tables' column names, in order, and their header rows, each ended by a line feed. Every
// column holds numbers but `log` and `stopped`.
const std::vector<std::string>& SummaryColumns();
const std::vector<std::string>& BrakingsColumns();
std::string SummaryHeader();
std::string BrakingsHeader();

// The fields of the row of the run of log `log` (its path as given): numbers as the shortest
// text that reads back exactly (see ExactText), a computed one as its RecordedValue, a difference
// of times as RoundedDifference gives it, and an empty field where a value does not exist.
std::vector<std::string> SummaryFields(const std::string& log, const RunFigures& run);
// The fields of the row of brake application `number` (1, 2, ...) of log `log`, in the same way.
std::vector<std::string> BrakingFields(const std::string& log, std::int64_t number,
                                       const Braking& braking);
// Those rows appended as CSV.
void AppendSummaryRow(const std::string& log, const RunFigures& run, std::string* out);
void AppendBrakingRow(const std::string& log, std::int64_t number, const Braking& braking,
                      std::string* out);

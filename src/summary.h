// The summary of one run, taken record by record: its figures and its brake applications.
#pragma once

#include <cstdint>
#include <vector>

#include "braking.h"
#include "derived.h"
#include "figures.h"
#include "scanner.h"

// A column's smallest and largest finite samples (as --stats finds them: the first occurrence
// wins) and the times of the records they occur in.
struct TimedRange {
    SampleFigures figures;
    double minimumTime = 0.0, maximumTime = 0.0;  // s
    void Note(double sample, std::int64_t record, double time);
};

struct RunFigures {
    std::int64_t samples = 0;
    double startTime = 0.0, endTime = 0.0;  // s, of the first and the last record
    double distance = 0.0;                  // m: the distance channel's last value
    double tractionEnergy = 0.0;            // kWh: the traction-energy channel's last value
    TimedRange speed;                       // m/s, column 2
    TimedRange couplerForce;                // N, column 5: tension above 0, compression below
    TimedRange motorCurrent;                // A, column 11
    std::int64_t brakings = 0, stops = 0;   // brake applications, and those that reached a stop
};

// Takes a log's data lines, cut to Columns(), and hands each brake application over as it ends.
class RunSummary : public LineSink {
  public:
    RunSummary(const BrakingRule& rule, BrakingFinder::Found found);
    // The log's columns OnLine takes, in order: time, velocity, acceleration, coupler force,
    // traction force, brake cylinder pressure, motor current.
    static const std::vector<int>& Columns();
    void OnLine(const FieldText* fields) override;
    // Ends the run (an application still on ends at its last record) and gives its figures.
    const RunFigures& Finish();

  private:
    RunFigures figures;
    DerivedChannels derived;
    BrakingFinder::Found found;
    BrakingFinder finder;
};

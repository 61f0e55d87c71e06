// The summary of one run, taken record by record: its figures and its brake applications.
#include "summary.h"

#include "number.h"

void TimedRange::Note(double sample, std::int64_t record, double time) {
    figures.Note(sample, record);
    if (figures.range.minimumRecord == record) minimumTime = time;
    if (figures.range.maximumRecord == record) maximumTime = time;
}

RunSummary::RunSummary(const BrakingRule& rule, BrakingFinder::Found handOver)
    : found(std::move(handOver)), finder(rule, [this](const Braking& braking) {
          ++figures.brakings;
          figures.stops += braking.stopped;
          found(braking);
      }) {}

const std::vector<int>& RunSummary::Columns() {
    static const std::vector<int> columns = {1, 2, 3, 5, 6, 9, 11};
    return columns;
}

void RunSummary::OnLine(const FieldText* fields) {
    auto parse = [fields](int i) { return ParseNumber(fields[i].text, fields[i].length); };
    const double time = parse(0), velocity = parse(1);
    std::int64_t record = ++figures.samples;
    if (record == 1) figures.startTime = time;
    figures.endTime = time;
    derived.Next(time, velocity, parse(4));
    figures.speed.Note(velocity, record, time);
    figures.couplerForce.Note(parse(3), record, time);
    figures.motorCurrent.Note(parse(6), record, time);
    // The acceleration counts only in a brake application's reach: most records need none.
    const double pressure = parse(5);
    finder.Next({time, velocity, finder.Reaches(pressure) ? parse(2) : 0.0, pressure});
}

const RunFigures& RunSummary::Finish() {
    finder.Finish();
    figures.distance = derived.distance();
    figures.tractionEnergy = derived.energy();
    return figures;
}

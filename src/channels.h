// The channels of each line: measured fields as the log holds them, and the channels derived
// from several columns (distance, traction power and energy), computed from the run so far.
#pragma once

#include <cstdint>
#include <vector>

#include "charttypes.h"
#include "logreader.h"

// The trapezoid's area over one step from (t0, y0) to (t1, y1): (t1 - t0) * (y1 + y0) * 0.5, in
// that order of operations. Nothing (0.0) where time does not go forward or any of the four
// numbers is not finite, so that a running sum keeps its value over such a step.
double TrapezoidStep(double t0, double y0, double t1, double y1);

// The derived channels of a run, record by record from its first (t = column 1, v = column 2,
// F = column 6):
//   distance:       d(1) = 0;  d(k) = d(k-1) + TrapezoidStep(t(k-1), v(k-1), t(k), v(k))   [m]
//   traction power: p(k) = F(k) * v(k)                                                 [kW]
//   traction energy: e(1) = 0; e(k) = e(k-1) + TrapezoidStep(t(k-1), p(k-1), t(k), p(k)) / 3600
//                                                                                     [kWh]
// all in double precision, so that a script that repeats the formulas gets the same figures.
class DerivedChannels {
  public:
    // Takes the next record's time (s), velocity (m/s) and traction force (kN).
    void Next(double time, double velocity, double force);
    // Forgets every record, for a new run.
    void Reset() { *this = DerivedChannels(); }

    double distance() const { return distance_; }
    double power() const { return power_; }
    double energy() const { return energy_; }

  private:
    std::int64_t records = 0;
    double time = 0.0, velocity = 0.0;  // of the last record
    double distance_ = 0.0, power_ = 0.0, energy_ = 0.0;
};

// The value a computed value's record holds, and every output shows: the value itself, or,
// where its shortest text would not fit a record's 23 bytes (a three-digit exponent), the value
// rounded to 16 significant digits.
double RecordedValue(double value);

// A field's text up to a NUL, if it holds one: what a record keeps of it.
FieldText UpToNul(const FieldText& field);

// A list of channels read line by line: a measured channel's field and its number, a derived
// channel's value from the run so far, and each line's time.
class ChannelReader {
  public:
    // Asks `columns` for the columns the channels need.
    ChannelReader(const std::vector<Channel>& channels, ColumnSet& columns);
    // Takes the next line of the run.
    void Next(const LogLine& line);
    // Forgets the run, for a new one.
    void Restart() { derived.Reset(); }

    std::size_t size() const { return plans.size(); }
    bool measured(std::size_t channel) const { return plans[channel].derived == Derived::kNone; }
    // A measured channel's field in the line, up to a NUL if it holds one.
    FieldText Text(std::size_t channel) const;
    // The time column's field, up to a NUL.
    FieldText TimeText() const { return UpToNul(line.fields[0]); }
    // The line's time, s.
    double time() const { return time_; }
    // A channel's value: a measured one's field as atof reads it, a derived one's RecordedValue.
    double Value(std::size_t channel) const;
    // A derived channel's value as computed, before any rounding.
    double DerivedValue(std::size_t channel) const;

  private:
    struct Plan {
        Derived derived;
        std::size_t field;  // of a measured channel
    };
    std::vector<Plan> plans;
    bool derives = false;
    bool usesForce = false;  // a derived channel needs the traction force
    std::size_t velocityField = 0, forceField = 0;
    DerivedChannels derived;
    LogLine line;
    double time_ = 0.0, velocity = 0.0, force = 0.0;  // of the line, as Next parsed them
};

// Channels derived from several columns of each record: distance, traction power and energy.
#pragma once

#include <cstdint>

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

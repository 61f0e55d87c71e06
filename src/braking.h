// Brake applications, found record by record on the brake cylinder pressure.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// The thresholds of the rule, from plovo.ini's [analysis].
struct BrakingRule {
    double brakeOn = 0.05;   // MPa: a brake cylinder pressure at least this applies the brake
    double stopSpeed = 0.1;  // m/s: a velocity at most this is a stop
};

// The columns of one record that the rule reads.
struct BrakeRecord {
    double time;          // s, column 1
    double velocity;      // m/s, column 2
    double acceleration;  // m/s^2, column 3
    double pressure;      // MPa, column 9
    double distance;      // m along the run: the distance channel's value
};

// One brake application. Its "reach" is its records up to the stop record, or all of them when
// it did not stop: the distance and the decelerations are taken over the reach.
struct Braking {
    double startTime = 0.0, startSpeed = 0.0;  // at its first record
    double startDistance = 0.0;                // m along the run there
    double endTime = 0.0;                      // of its last record
    bool stopped = false;
    double stopTime = 0.0;             // of the stop record, when stopped
    double stopDistance = 0.0;         // m along the run there, when stopped
    double reachTime = 0.0;            // of the reach's last record
    double reachSpeed = 0.0;           // velocity there
    double distance = 0.0;             // m over the reach, with the distance channel's steps
    bool decelerationFound = false;    // some acceleration in the reach is finite
    double maxDeceleration = 0.0;      // m/s^2: the negated smallest finite acceleration
    double maxDecelerationTime = 0.0;  // of its first record
    double maxPressure = 0.0;          // MPa: the largest finite pressure of all its records
};

// Finds the brake applications of a run. One starts at a record whose finite pressure is at
// least brakeOn where the last finite pressure before it was below (or there was none); it ends
// at the record before the next finite pressure below brakeOn, or at the run's last record. A
// non-finite pressure neither starts nor ends one. It reaches a stop at its first record whose
// velocity is finite and at most stopSpeed.
class BrakingFinder {
  public:
    using Found = std::function<void(const Braking&)>;
    BrakingFinder(const BrakingRule& rule, Found found) : rule(rule), found(std::move(found)) {}
    // Takes the run's next record.
    void Next(const BrakeRecord& record);
    // Ends the run: an application still on ends at its last record.
    void Finish();
    // Whether the next record, of this pressure, falls in an application's reach: elsewhere its
    // acceleration is not read, and Next may be given any.
    bool Reaches(double pressure) const;
    // The application going on after the last record taken, as far as it has come; null when none.
    const Braking* Current() const { return on ? &braking : nullptr; }

  private:
    void Start(const BrakeRecord& record);
    void Extend(const BrakeRecord& record);
    void Reach(const BrakeRecord& record);

    BrakingRule rule;
    Found found;
    bool on = false;  // an application is going on: the last finite pressure was at least brakeOn
    Braking braking;
    double lastTime = 0.0, lastVelocity = 0.0;  // of the record before, for the distance step
};

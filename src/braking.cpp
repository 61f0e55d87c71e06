// Brake applications, found record by record on the brake cylinder pressure.
#include "braking.h"

#include <cmath>

#include "channels.h"

void BrakingFinder::Next(const BrakeRecord& record) {
    if (std::isfinite(record.pressure)) {
        bool applied = record.pressure >= rule.brakeOn;
        if (applied && !on) {
            Start(record);
        } else if (!applied && on) {
            Finish();  // at the record before this one
        }
    }
    if (on) Extend(record);
    lastTime = record.time;
    lastVelocity = record.velocity;
}

void BrakingFinder::Finish() {
    if (!on) return;
    on = false;
    found(braking);
}

bool BrakingFinder::Reaches(double pressure) const {
    bool applied = std::isfinite(pressure) ? pressure >= rule.brakeOn : on;
    return applied && !(on && braking.stopped);
}

void BrakingFinder::Start(const BrakeRecord& record) {
    on = true;
    braking = Braking();
    braking.startTime = record.time;
    braking.startSpeed = record.velocity;
    braking.startDistance = record.distance;
    braking.maxPressure = record.pressure;
    // The first record's step is not part of the application: its distance starts at 0.
    lastTime = record.time;
    lastVelocity = record.velocity;
}

void BrakingFinder::Extend(const BrakeRecord& record) {
    braking.endTime = record.time;
    if (record.pressure > braking.maxPressure && std::isfinite(record.pressure))
        braking.maxPressure = record.pressure;
    if (!braking.stopped) Reach(record);
}

// A record up to the stop: the distance, the deceleration, and whether it is the stop.
void BrakingFinder::Reach(const BrakeRecord& record) {
    braking.distance += TrapezoidStep(lastTime, lastVelocity, record.time, record.velocity);
    braking.reachTime = record.time;
    braking.reachSpeed = record.velocity;
    double deceleration = 0.0 - record.acceleration;  // 0.0 -: no "-0" for a zero acceleration
    if (std::isfinite(deceleration) &&
        (!braking.decelerationFound || deceleration > braking.maxDeceleration)) {
        braking.decelerationFound = true;
        braking.maxDeceleration = deceleration;
        braking.maxDecelerationTime = record.time;
    }
    if (std::isfinite(record.velocity) && record.velocity <= rule.stopSpeed) {
        braking.stopped = true;
        braking.stopTime = record.time;
        braking.stopDistance = record.distance;
    }
}

// Channels derived from several columns of each record: distance, traction power and energy.
#include "derived.h"

#include <cmath>

double TrapezoidStep(double t0, double y0, double t1, double y1) {
    bool finite = std::isfinite(t0) && std::isfinite(t1) && std::isfinite(y0) && std::isfinite(y1);
    if (!finite || !(t1 > t0)) return 0.0;
    return (t1 - t0) * (y1 + y0) * 0.5;
}

void DerivedChannels::Next(double t, double v, double force) {
    double p = force * v;
    if (records > 0) {
        distance_ += TrapezoidStep(time, velocity, t, v);
        energy_ += TrapezoidStep(time, power_, t, p) / 3600;
    }
    ++records;
    time = t;
    velocity = v;
    power_ = p;
}

// The channels of each line: measured fields as the log holds them, and the channels derived
// from several columns (distance, traction power and energy), computed from the run so far.
#include "channels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "number.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

double RecordedValue(double value) {
    double magnitude = std::fabs(value);
    // Only a three-digit exponent makes the shortest text longer than a record.
    if (!(magnitude >= 1e100 || (magnitude > 0 && magnitude < 1e-99))) return value;
    char text[kMaxExactText];
    std::size_t length = static_cast<std::size_t>(WriteExactText(value, text) - text);
    if (length <= kRecordSize) return value;
    length = static_cast<std::size_t>(std::snprintf(text, sizeof text, "%.16g", value));
    return ParseNumber(text, length);
}

ChannelReader::ChannelReader(const std::vector<Channel>& channels, ColumnSet& columns) {
    columns.Field(kTimeColumn);  // field 0: the time
    for (const Channel& channel : channels) {
        bool isMeasured = channel.derived == Derived::kNone;
        derives = derives || !isMeasured;
        std::vector<int> needs = ChannelColumns(channel);
        usesForce =
            usesForce || (!isMeasured && std::count(needs.begin(), needs.end(), kForceColumn) > 0);
        plans.push_back({channel.derived, isMeasured ? columns.Field(channel.column) : 0});
    }
    if (derives) velocityField = columns.Field(kVelocityColumn);
    if (usesForce) forceField = columns.Field(kForceColumn);
}

void ChannelReader::Next(const LogLine& next) {
    line = next;
    time_ = line.Number(0);
    if (!derives) return;
    // Without a channel that needs the force (distance alone), power and energy go unused.
    velocity = line.Number(velocityField);
    force = usesForce ? line.Number(forceField) : 0.0;
    derived.Next(time_, velocity, force);
}

FieldText UpToNul(const FieldText& field) {
#if defined(__SSE2__)
    // A whole field, the usual one, is looked at in two 16-byte loads that overlap.
    if (field.length >= 16 && field.length <= 32) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field.text));
        const __m128i tail =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(field.text + field.length - 16));
        if (_mm_movemask_epi8(
                _mm_or_si128(_mm_cmpeq_epi8(head, zero), _mm_cmpeq_epi8(tail, zero))) == 0)
            return field;
    }
#endif
    const void* nul = std::memchr(field.text, '\0', field.length);
    return {field.text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field.text)
                            : field.length};
}

FieldText ChannelReader::Text(std::size_t channel) const {
    return UpToNul(line.fields[plans[channel].field]);
}

double ChannelReader::Value(std::size_t channel) const {
    if (!measured(channel)) return RecordedValue(DerivedValue(channel));
    // The fields Next took already; atof stops at a NUL too, so a field's number is its text's.
    std::size_t field = plans[channel].field;
    if (field == 0) return time_;
    if (derives && field == velocityField) return velocity;
    if (usesForce && field == forceField) return force;
    return line.Number(field);
}

double ChannelReader::DerivedValue(std::size_t channel) const {
    switch (plans[channel].derived) {
        case Derived::kDistance:
            return derived.distance();
        case Derived::kTractionPower:
            return derived.power();
        case Derived::kTractionEnergy:
            return derived.energy();
        case Derived::kNone:
            break;
    }
    return 0.0;
}

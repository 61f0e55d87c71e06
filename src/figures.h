// The figures of a channel's samples: extreme, smallest and largest, and those of a stretch.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// The smallest and largest finite sample of a channel and the records they first occur in
// (1-based; 0 when the channel has no finite sample).
struct SampleRange {
    double minimum = 0.0, maximum = 0.0;
    std::int64_t minimumRecord = 0, maximumRecord = 0;
};

// Keeps a channel's extreme (the finite sample of largest magnitude, with its sign; the first
// one wins a tie) and range up to date, sample by sample.
struct SampleFigures {
    double extreme = 0.0;
    SampleRange range;
    void Note(double sample, std::int64_t record);
};

// One record of a stretch: its number (1-based), its time in seconds and its value.
using RecordVisit = std::function<void(std::int64_t record, double time, double value)>;
// Calls visit for each record of a stretch, in order.
using RecordSource = std::function<void(const RecordVisit& visit)>;

// What a stretch of records tells: its ends, its range, and the trapezoid sum of its values over
// time (velocity in m/s gives metres, a current in A ampere-seconds).
struct StretchFigures {
    std::int64_t records = 0;  // 0: an empty stretch, of which nothing below holds
    std::int64_t firstRecord = 0, lastRecord = 0;
    double firstTime = 0.0, lastTime = 0.0;  // seconds
    double first = 0.0, last = 0.0;          // values, finite or not
    SampleRange range;                       // of the finite values
    // Sum of TrapezoidStep over each pair of neighbouring records: nothing for a step where time
    // does not go forward or a number is not finite.
    double integral = 0.0;

    // last - first; none when either is not finite (or the stretch is empty).
    std::optional<double> Change() const;
    // integral / (lastTime - firstTime) in the value's unit; none unless both times are finite
    // and the last is later.
    std::optional<double> Mean() const;
};

// The figures of the stretch `records` gives, in one pass.
StretchFigures DescribeStretch(const RecordSource& records);

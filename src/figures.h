// The figures of a channel's samples: extreme, smallest and largest, and those of a stretch.
#pragma once

#include <cstdint>
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

// A channel's range, and the times of the records its extremes first occur in.
struct TimedRange {
    SampleFigures figures;
    double minimumTime = 0.0, maximumTime = 0.0;  // s
    void Note(double sample, std::int64_t record, double time);
};

// What a stretch of records tells: its ends, its range, and the trapezoid sum of its values over
// time (velocity in m/s gives metres, a current in A ampere-seconds).
struct StretchFigures {
    std::int64_t records = 0;  // 0: an empty stretch, of which nothing below holds
    std::int64_t firstRecord = 0, lastRecord = 0;
    double firstTime = 0.0, lastTime = 0.0;       // seconds
    double first = 0.0, last = 0.0;               // values, finite or not
    SampleRange range;                            // of the finite values
    double minimumTime = 0.0, maximumTime = 0.0;  // of range's records
    // Sum of TrapezoidStep over each pair of neighbouring records: nothing for a step where time
    // does not go forward or a number is not finite.
    double integral = 0.0;

    // last - first; none when either is not finite (or the stretch is empty).
    std::optional<double> Change() const;
    // integral / (lastTime - firstTime) in the value's unit; none unless both times are finite
    // and the last is later.
    std::optional<double> Mean() const;
};

// Takes a stretch's records one by one, in order, into its figures.
class StretchAccumulator {
  public:
    void Add(std::int64_t record, double time, double value);
    // The figures of the records added so far.
    StretchFigures Figures() const;

  private:
    StretchFigures figures;
    TimedRange range;
};

// Which records a stretch takes, as --plot --to finds its stretch: from record `start`, or the
// first whose time is `at` or later, up to, not including, the first later record whose time is
// above `to` (to the log's end without `to`).
struct StretchChoice {
    std::int64_t start = 1;
    std::optional<double> at, to;
};

// Tells record by record, in order, whether it is in the chosen stretch.
class StretchFilter {
  public:
    explicit StretchFilter(const StretchChoice& choice) : choice(choice) {}
    bool Takes(std::int64_t record, double time);
    // Whether the stretch has ended: no later record is in it.
    bool Passed() const { return part == Part::kAfter; }

  private:
    StretchChoice choice;
    enum class Part { kBefore, kIn, kAfter } part = Part::kBefore;
};

// The brake applications and stops of a run, found as the log is read: where each is, by record,
// time and distance along the run, for the report plots' marks and origin and the figure of
// each braking.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "braking.h"
#include "channels.h"
#include "figures.h"
#include "logreader.h"
#include "records.h"

// A brake application's place in its run, by the rule of the brakings table.
struct BrakePlace {
    std::int64_t number = 0;  // as the brakings table numbers it: 1, 2, ...
    std::int64_t startRecord = 0;
    double startTime = 0.0, startDistance = 0.0;  // s; m along the run, as its record holds it
    bool stopped = false;
    std::int64_t stopRecord = 0;  // of the stop, when stopped
    double stopTime = 0.0, stopDistance = 0.0;
    bool ended = false;  // its last record has been read
    std::int64_t endRecord = 0;
    double endTime = 0.0;
    // With FigureSpans: the records its figure shows; last is 0 until the figure's end is read.
    RecordSpan figure{0, 0};
};

// Takes a run's lines (time, velocity, brake cylinder pressure) and notes each brake
// application as it starts, stops and ends, its distance from the run's first record as the
// distance channel counts it.
class BrakeEvents : public LineConsumer {
  public:
    BrakeEvents(const BrakingRule& rule, ColumnSet& columns);
    BrakeEvents(const BrakeEvents&) = delete;
    BrakeEvents& operator=(const BrakeEvents&) = delete;
    // Notes for each application the records its figure spans: from the earliest record of the
    // `before` seconds before its first one (not past a time that goes back, and at most 65,536
    // records), to the last record up to `after` seconds after its stop, or its last record
    // when it does not stop. The whole log is read. Before the reading starts.
    void FigureSpans(double before, double after);
    // Needs no line once `stretch`, or its `count`-th record, has passed: the applications that
    // started before it, and those in it, are then known as far as they go. Before the reading
    // starts; without a call (or with FigureSpans) the whole log is read.
    void NeedOnly(const StretchChoice& stretch, std::int64_t count = INT64_MAX);

    void OnLine(const LogLine& line) override;
    bool Satisfied() const override;
    void Restart() override;
    // Ends the run: an application still on, and every figure still open, ends at its last record.
    void Finish();

    // The applications found, in order; those that ended before a stretch (NeedOnly) began are
    // not kept.
    const std::vector<BrakePlace>& places() const { return places_; }

  private:
    void Found(const Braking& braking);
    void CloseFigures(std::int64_t record, double time, bool timeFell);

    BrakingRule rule;
    std::size_t fields[3];  // time, velocity, pressure
    BrakingFinder finder;
    DerivedChannels derived;
    std::vector<BrakePlace> places_;
    std::int64_t count = 0;  // applications started
    std::int64_t record = 0;
    double lastTime = 0.0;
    bool open = false;  // places_.back() is the application going on
    // Figures.
    bool figures = false;
    double before = 0.0, after = 0.0;
    std::deque<std::pair<std::int64_t, double>> recent;  // records of the last `before` seconds
    std::vector<std::size_t> closing;  // places whose figure's last record is still to come
    // NeedOnly.
    struct Need {
        StretchChoice stretch;
        std::int64_t count;
        StretchFilter filter{stretch};
        std::int64_t taken = 0;
        bool Met() const { return filter.Passed() || taken >= count; }
    };
    std::vector<Need> needs;
    bool stretchBegun = false;  // a record of every stretch needed has been read
    bool dropsBefore = false;   // applications that end before the stretch are not kept
    bool finishing = false;     // in Finish
};

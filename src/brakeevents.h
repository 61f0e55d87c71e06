// The brake applications and stops of a run, found as the log is read: where each is, by record
// and time, for the report plots' marks and origin and the figure of each braking.
#pragma once

#include <cmath>
#include <cstdint>
#include <deque>
#include <vector>

#include "braking.h"
#include "charttypes.h"
#include "logreader.h"
#include "records.h"
#include "scanner.h"

// A brake application's place in its run, by the rule of the brakings table. Its time and
// distance are those of the records of its first sample and its stop in the pass's files.
struct BrakePlace {
    std::int64_t number = 0;  // as the brakings table numbers it: 1, 2, ...
    std::int64_t startRecord = 0;
    bool stopped = false;
    std::int64_t stopRecord = 0;  // of the stop, when stopped
    bool ended = false;           // its last record has been read
    std::int64_t endRecord = 0;
    // With FigureSpans: the times (s) of its first record, its stop and its last record, and the
    // records its figure shows (last is 0 until the figure's end is read). NaN without.
    double startTime = NAN, stopTime = NAN, endTime = NAN;
    RecordSpan figure{0, 0};
};

// Takes a run's lines and notes each brake application as it starts, stops and ends, reading
// the brake cylinder pressure of every line and the velocity only where an application may stop.
// It asks for no line of its own, unless told to: it follows the pass as far as the other
// consumers read.
class BrakeEvents final : public LineConsumer {
  public:
    BrakeEvents(const BrakingRule& rule, ColumnSet& columns);
    BrakeEvents(const BrakeEvents&) = delete;
    BrakeEvents& operator=(const BrakeEvents&) = delete;
    // Notes the times too, and for each application the records its figure spans: from the
    // earliest record of the `before` seconds before its first one (not past a time that goes
    // back, and at most 65,536 records), to the last record up to `after` seconds after its stop,
    // or its last record when it does not stop. The whole log is then read. Before the reading
    // starts.
    void FigureSpans(double before, double after);
    // Reads the whole log, alone too. Before the reading starts.
    void ReadWholeLog() { whole = true; }

    void OnLine(const LogLine& line) override;
    bool Satisfied() const override { return !figures && !whole; }
    void Restart() override;
    // Ends the run: an application still on, and every figure still open, ends at its last record.
    void Finish();

    // The applications found, in order.
    const std::vector<BrakePlace>& places() const { return places_; }

  private:
    // A field's number, the last one's again while its text stays the same: a pressure or a
    // velocity holds still over most lines, and the text is compared in a fraction of a parse.
    struct Repeated {
        char text[kRecordSize];
        std::size_t length = SIZE_MAX;
        double value = 0.0;
        bool Same(const FieldText& field) const;
        double Number(const FieldText& field);
    };
    void Found(const Braking& braking);
    void CloseFigures(double time, bool timeFell);

    BrakingRule rule;
    std::size_t fields[3];  // time, velocity, pressure
    Repeated velocity, pressure;
    BrakingFinder finder;
    std::vector<BrakePlace> places_;
    std::int64_t record = 0;
    bool open = false;       // places_.back() is the application going on
    bool reaching = false;   // and it has not stopped: the velocity counts
    bool finishing = false;  // in Finish
    bool whole = false;      // reads to the log's end
    // Figures.
    bool figures = false;
    double before = 0.0, after = 0.0;
    double lastTime = 0.0;
    std::deque<std::pair<std::int64_t, double>> recent;  // records of the last `before` seconds
    std::vector<std::size_t> closing;  // places whose figure's last record is still to come
};

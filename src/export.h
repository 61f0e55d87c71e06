// The CSV export: a stretch of the run's records as their time and the chart types' values,
// written as the log is read when it is the run's only output, else from the extraction's files.
#pragma once

#include <string>
#include <vector>

#include "brakeevents.h"
#include "channels.h"
#include "charttypes.h"
#include "extraction.h"
#include "output.h"
#include "plan.h"
#include "records.h"

// A chart type's name in the header row: its name ("velocity", "distance"), or "column<N>" for
// a column of the log beyond the named ones.
std::string ExportName(const Channel& chart);

// The header row, "time,<name>,...\n".
std::string ExportHeader(const std::vector<Channel>& charts);

// Writes the rows of a stretch to outputs as the log's lines come: a row a record, its time and
// its values, each the shortest text that reads back as the same number ("nan", "inf", "-inf" as
// such), a value in the unit `units` choose for its chart type (converted once). From
// Origin::kStart, the time and the distance are counted from the stretch's first record, each
// difference rounded to its numbers' resolution (RoundedDifference); Origin::kBrake is not
// taken here. Satisfied once the stretch has ended, or an output failed (a closed pipe, a full
// disk): the rest of the log is of no use then.
class ExportRows : public LineConsumer {
  public:
    ExportRows(const ExportRequest& request, const std::vector<Channel>& charts,
               const std::vector<Output*>& outputs, ColumnSet& columns);
    void OnLine(const LogLine& line) override;
    bool Satisfied() const override;
    // Hands the rows made so far to the outputs.
    void Flush();

  private:
    ChannelReader values;
    StretchFilter filter;
    bool fromStart;
    std::vector<Conversion> units;
    std::vector<bool> distance;  // each chart type is the distance
    bool first = true;
    double time0 = 0.0, distance0 = 0.0;  // at the stretch's first record
    std::vector<Output*> outputs;
    std::vector<char> rows;  // rows not yet handed over: `end` bytes
    std::size_t end = 0;
};

// Writes the export that is the run's only output to each of its targets, from one reading of
// the log with no temporary file. False with one line in err (the log's failure, or a file's).
bool StreamExport(const ExportRequest& request, const std::string& logName,
                  const std::vector<Channel>& charts, std::string* err);

// Writes the records `span` of the extraction, whose first files are the chart types', to each
// of the request's targets, as ExportRows writes them; from Origin::kBrake, the time and the
// distance count from the first of `brakings` (BrakeEvents of the extraction's pass) that
// starts in the span. False with one line in err (none starts there, a file's failure).
bool WriteExport(const ExportRequest& request, RecordSpan span, const std::vector<Channel>& charts,
                 const LogExtraction& extraction, const std::vector<BrakePlace>& brakings,
                 std::string* err);

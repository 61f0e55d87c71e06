// The CSV export: a stretch of the run's records as their time and the chart types' values.
#pragma once

#include <string>
#include <vector>

#include "charttypes.h"
#include "extraction.h"
#include "records.h"

// A chart type's name in the header row: its name ("velocity", "distance"), or "column<N>" for
// a column of the log beyond the named ones.
std::string ExportName(const Channel& chart);

// Writes the records `span` of the extraction, whose first files are the chart types', to
// `target` as CSV: "-" is standard output, anything else a file replaced like a picture. A header
// row "time,<name>,...", then a row a record: its time and its values, each the shortest text
// that reads back as the same number ("nan", "inf", "-inf" as such). False with one line in err.
bool WriteExport(const std::string& target, RecordSpan span, const std::vector<Channel>& charts,
                 const LogExtraction& extraction, std::string* err);

// The same for an export that is the run's only output: the rows are made as the log is read,
// with no temporary file, from the records `stretch` chooses. False with one line in err (the
// log's failure, or the file's).
bool StreamExport(const std::string& target, const std::string& logName,
                  const std::vector<Channel>& charts, const StretchChoice& stretch,
                  std::string* err);

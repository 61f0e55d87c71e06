// The report plot of a run: a panel for each chart type, against time or distance, with a second
// run compared.
#pragma once

#include <string>
#include <vector>

#include "charttypes.h"
#include "extraction.h"
#include "options.h"
#include "records.h"

// The channels the outputs need extracted, in this order: the chart types, then distance when
// the plot is drawn against it and it is not among them.
std::vector<Channel> ExtractedChannels(const std::vector<Channel>& charts, XAxis x);

// Draws the records `span` of the log's extraction (of ExtractedChannels(charts, command.xAxis))
// as command asks, and replaces command.plot with the picture. With --compare, the other log is
// extracted the same way here and its records within the stretch's x range drawn too. False
// with one line in err.
bool SavePlot(const CommandLine& command, RecordSpan span, const std::string& logName,
              const std::vector<Channel>& charts, const LogExtraction& extraction,
              std::string* err);

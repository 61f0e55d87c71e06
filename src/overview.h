// The overview: the whole log in one picture, in the viewer's colours and scale.
#pragma once

#include <cstdint>
#include <string>

#include "chart.h"
#include "figures.h"
#include "records.h"

// The records column x (0-based) of the overview shows of n records in a picture `width` columns
// wide: with n >= width, floor(x·n/width)+1 .. floor((x+1)·n/width); else record x+1 alone, while
// there is one.
RecordSpan OverviewColumnRecords(int x, std::int64_t records, int width);

// The column that shows record `record` (1-based); for a log narrower than the picture, record
// r is column r - 1, also past its end.
int OverviewColumnOf(std::int64_t record, std::int64_t records, int width);

// "(1 : <n>)     <label>      min: <min>  max: <max>", numbers as the status bar formats them.
std::string OverviewStatusText(std::int64_t records, const std::string& label,
                               const SampleRange& range);

// Draws the overview of the iFc records of the temporary file into canvases.frame: a green line
// per column from its smallest to its largest finite sample (a dot per record when the log is
// narrower than the picture), the zero line, the status bar, and yellow lines at the columns of
// the first and the last record of the window that opens at record `first`.
void DrawOverview(Canvases& canvases, std::int64_t first, const SampleRange& range);

// The runs a report plot shows: records as an x and one value per panel, the ranges the axes fit
// them in, and the rule that keeps a compared run within the first run's x range.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "plotscale.h"

// One record of a run: its x (seconds, or metres along the line), its values (one per panel),
// and whether it comes right after the record visited before it: false where records were left
// out between them, so that the line breaks there.
struct Row {
    double x;
    const double* values;
    bool follows;
};
using RowVisit = std::function<void(const Row& row)>;
// Calls visit for each record of a run's stretch, in order. The plot replays it: one pass for the
// ranges, one for the drawing; nothing of the stretch's size is kept in between.
using Series = std::function<void(const RowVisit& visit)>;

// The records of `run` whose x lies within lo .. hi, ends included; a record follows the one
// before it only when both are within and the run's own rows say it follows.
Series Within(const Series& run, double lo, double hi);

// The axes' ranges. A record is drawn in a panel where its x and that panel's value are finite.
struct PlotRanges {
    bool empty = true;             // the first run draws in no panel
    double xLo = 0, xHi = 0;       // the first run's drawn x, as found: what a compared run keeps
    Range x;                       // the x axis: xLo .. xHi
    std::vector<Range> y;          // each panel's values, with a margin of 5%
    std::vector<bool> panelEmpty;  // no run draws in the panel
    std::vector<bool> runDrawn;    // each run draws in some panel (a later one within x range)
};
// The x range of the first run's drawn records, and each panel's range of the values drawn in it
// by every run, the later ones kept Within that x range.
PlotRanges FindRanges(const std::vector<Series>& runs, std::size_t panels);

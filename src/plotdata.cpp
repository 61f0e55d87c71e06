// The runs a report plot shows: records as an x and one value per panel, the ranges the axes fit
// them in, and the rule that keeps a compared run within the first run's x range.
#include "plotdata.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kValueMargin = 0.05;  // of the value span, above and below the samples

// Smallest and largest of the numbers noted.
struct Extent {
    double lo = INFINITY, hi = -INFINITY;
    void Note(double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    bool empty() const { return lo > hi; }
};

// Notes the values a row draws in each panel; true when it draws in any.
bool NoteValues(const Row& row, std::vector<Extent>& values) {
    bool drawn = false;
    if (!std::isfinite(row.x)) return false;
    for (std::size_t panel = 0; panel < values.size(); ++panel) {
        if (!std::isfinite(row.values[panel])) continue;
        values[panel].Note(row.values[panel]);
        drawn = true;
    }
    return drawn;
}
}  // namespace

Series Within(const Series& run, double lo, double hi) {
    return [run, lo, hi](const RowVisit& visit) {
        bool joined = false;  // the record before was within
        run([&](const Row& row) {
            bool within = row.x >= lo && row.x <= hi;
            if (within) visit({row.x, row.values, joined && row.follows});
            joined = within;
        });
    };
}

PlotRanges FindRanges(const std::vector<Series>& runs, std::size_t panels) {
    PlotRanges ranges;
    std::vector<Extent> values(panels);
    Extent x;
    if (!runs.empty())
        runs[0]([&](const Row& row) {
            if (NoteValues(row, values)) x.Note(row.x);
        });
    ranges.runDrawn.assign(runs.size(), false);
    if (!runs.empty()) ranges.runDrawn[0] = !x.empty();
    for (std::size_t run = 1; run < runs.size() && !x.empty(); ++run)
        Within(runs[run], x.lo, x.hi)([&](const Row& row) {
            if (NoteValues(row, values)) ranges.runDrawn[run] = true;
        });
    ranges.empty = x.empty();
    if (!ranges.empty) {
        ranges.xLo = x.lo;
        ranges.xHi = x.hi;
        ranges.x = FitRange(x.lo, x.hi, 0.0);
    }
    for (const Extent& panel : values) {
        ranges.panelEmpty.push_back(panel.empty());
        ranges.y.push_back(panel.empty() ? Range() : FitRange(panel.lo, panel.hi, kValueMargin));
    }
    return ranges;
}

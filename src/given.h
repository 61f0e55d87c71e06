// What the command line gives, option by option, and the run's plan made of it: the conflicts
// refused in one place, the mode, a request per output.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plan.h"

// What the command line gives, option by option, before the plan is made of it.
struct Given {
    bool help = false, version = false, stats = false, follow = false, noHeader = false;
    bool serve = false, marks = false;
    std::optional<int> port;
    std::optional<std::string> bind;
    std::optional<std::int64_t> start, dpi, top;
    std::optional<double> at, to, before, after, brakeOn, stopSpeed;
    std::optional<PlotSize> plotSize;
    std::optional<XAxis> x;
    std::optional<Origin> origin;
    std::optional<std::string> compare, title, noDisplaySnapshot, units, sort;
    std::vector<std::string> snapshots, overviews, plots, exports, summaries, brakings;
    std::vector<std::string> brakingPlots;
    Labels labels;
    std::vector<std::string> args;
    std::map<std::string, std::string>
        written;  // an option of one value, by name: as first written

    bool Batch() const {
        return !snapshots.empty() || !overviews.empty() || !plots.empty() || !exports.empty() ||
               !brakingPlots.empty() || stats;
    }
    bool Tables() const { return !summaries.empty() || !brakings.empty(); }
    bool Figures() const { return !plots.empty() || !brakingPlots.empty(); }
};

// --compare's value: OTHER, or OTHER@T with T a time in seconds. A log whose own name ends in @
// and a number is named with one more @ after it, which stands for no time.
std::pair<std::string, std::optional<double>> SplitCompare(const std::string& value);
// --sort's value: the column, and whether it is followed by ":desc" (the largest first) rather
// than ":asc" or nothing.
std::pair<std::string, bool> SortKey(const std::string& value);

// Refuses options that cannot go together, in one place. False with one line in err.
bool CheckConflicts(const Given& given, std::string* err);
// The plan of what was given, whether or not it conflicts: its mode still tells which console's
// ways a refusal follows. `display` ($DISPLAY, null when unset) decides whether a window without
// one is replaced by --no-display-snapshot's picture.
Plan MakePlan(const Given& given, const char* display);

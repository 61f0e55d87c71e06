// The viewer: the keyboard loop with its decision table, the rule for a followed log, and the
// window's title.
#pragma once

#include <allegro.h>

#include <cstdint>
#include <string>

#include "chart.h"

class kolejka;
class Session;

constexpr int kPassMilliseconds = 16;  // one pass every 16 ms: about 60 passes a second
// The share of a pass that taking a followed log's new lines may use; the rest keeps the keys
// live while a burst is caught up.
constexpr int kFollowMilliseconds = 8;

// The seven keys the loop looks at, read once per pass.
struct KeySnapshot {
    bool escape = false;
    bool left = false;
    bool right = false;
    bool shift = false;  // either Shift key
    bool ctrl = false;   // either Control key
};

// The keys for a pass: held now, or pressed since the last pass, an arrow with the modifiers
// held at its press; an arrow held on from an earlier press sits out the pass in which a
// modifier was let go.
KeySnapshot ReadKeys();

enum class Act { Quit, Scroll, MoveCursor, Nothing };

struct Action {
    Act act = Act::Nothing;
    int direction = 0;  // Scroll: 1 toward later records, 0 toward earlier ones
    int count = 0;      // Scroll: records
    int step = 0;       // MoveCursor: +1 right, -1 left
};

// The decision table: Escape first, then the first row whose keys are held.
Action Decide(const KeySnapshot& keys, int firstRecord);

// A followed log's change in one pass, and the window as it was before.
struct LogChange {
    int first = 1;             // isFp
    int last = 0;              // ieFp
    int recordsBefore = 0;     // iFc before the change
    int records = 0;           // iFc now
    int width = 0;             // samples on screen
    bool newExtreme = false;   // the largest magnitude changed
    bool startedOver = false;  // the log was truncated or replaced
};

// Where the window goes after a change.
struct WindowMove {
    bool rescale = false;  // set the scale from the new extreme
    bool redraw = false;   // refill the window at `first` and draw it
    int first = 1;         // the window's first record
};

// The following rule: a window that showed the newest record (or a log started over) moves so
// that the newest record is the last on screen, from record 1 while the log is shorter than the
// screen; a window scrolled back stays. A new extreme rescales and redraws it either way.
WindowMove FollowWindow(const LogChange& change);

// What the loop works on, owned by main for the whole run.
struct Viewer {
    explicit Viewer(kolejka& samples) : window(samples) {}

    kolejka& window;
    Canvases canvases;
    int cursorColumn = 0;         // 0 .. iscrWidth - 1
    bool targetStale = true;      // the target lacks the frame's cursor line or a change to it
    std::string logName;          // the log's file name for the window's title; "" for no window
    std::string title;            // the window's title as last set
    Session* follower = nullptr;  // the run of the log followed with --follow; null without
};

// What the window's title tells of the sample under the cursor.
struct TitleFacts {
    std::string logName;      // the log's file name, without its folder
    std::string label;        // the chart's label
    std::int64_t record = 0;  // the record under the cursor
    bool hasData = false;     // false past the log's last record
    double time = 0.0;        // the record's time, seconds
    double sample = 0.0;      // its value
    bool following = false;   // the window follows the newest record of a growing log
};

// "plovo - <log name> - <label> - sample <N> at <T> s: <V>", numbers as the shortest text that
// reads back exactly (280.25, 210000.1); "plovo - <log name> - <label> - sample <N>: no data" past
// the last record; either with " - following" after it while the window follows the log.
std::string TitleText(const TitleFacts& facts);

// The title for the viewer's state now: the sample under its cursor.
std::string WindowTitle(const Viewer& viewer);

// One pass of the loop for these keys, then, with a follower, for what the log gained (within
// kFollowMilliseconds). The frame, with its cursor line, goes to `target` when the pass acted or
// the target has not shown it yet, and the window's title follows the cursor's sample (when the
// viewer has a log name); an idle pass leaves both alone. False on Escape.
bool ViewerPass(Viewer& viewer, const KeySnapshot& keys, BITMAP* target);

// Creates the canvases and presents the first frame on `target`. False when a canvas cannot be
// created.
bool ShowFirstFrame(Viewer& viewer, BITMAP* target);

// Runs passes until Escape, the close button or a signal ends the loop. Returns the exit
// status: 0, or 128 + the signal's number.
int RunViewer(Viewer& viewer);

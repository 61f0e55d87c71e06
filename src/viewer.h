// The viewer: graphics start-up, the keyboard loop with its decision table, and shutdown.
#pragma once

#include <allegro.h>

#include "chart.h"

class kolejka;

constexpr int kPassMilliseconds = 16;  // one pass every 16 ms: about 60 passes a second

// The seven keys the loop looks at, read once per pass.
struct KeySnapshot {
    bool escape = false;
    bool left = false;
    bool right = false;
    bool shift = false;  // either Shift key
    bool ctrl = false;   // either Control key
};

enum class Act { Quit, Scroll, MoveCursor, Nothing };

struct Action {
    Act act = Act::Nothing;
    int direction = 0;  // Scroll: 1 toward later records, 0 toward earlier ones
    int count = 0;      // Scroll: records
    int step = 0;       // MoveCursor: +1 right, -1 left
};

// The decision table: Escape first, then the first row whose keys are held.
Action Decide(const KeySnapshot& keys, int firstRecord);

// What the loop works on, owned by main for the whole run.
struct Viewer {
    kolejka& window;
    Canvases canvases;
    int cursorColumn = 0;  // 0 .. iscrWidth - 1
};

// One pass of the loop for these keys, presenting the frame on `target`. False on Escape.
bool ViewerPass(Viewer& viewer, const KeySnapshot& keys, BITMAP* target);

// Opens the graphics mode and the keyboard, and routes the close button and SIGINT, SIGTERM
// and SIGHUP to the loop. False when the graphics mode cannot be had.
bool OpenGraphics(bool fullscreen);

// Creates the canvases and presents the first frame on `target`. False when a canvas cannot be
// created.
bool ShowFirstFrame(Viewer& viewer, BITMAP* target);

// Runs passes until Escape, the close button or a signal ends the loop. Returns the exit
// status: 0, or 128 + the signal's number.
int RunViewer(Viewer& viewer);

// Releases the keyboard, the canvases and the graphics library.
void CloseGraphics(Viewer& viewer);

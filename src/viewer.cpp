// The viewer: graphics start-up, the keyboard loop with its decision table, and shutdown.
#include "viewer.h"

#include <time.h>

#include <csignal>

#include "globals.h"
#include "logdata.h"
#include "platform.h"

namespace {
volatile sig_atomic_t closeRequested = 0;

void OnCloseButton() {
    closeRequested = 1;
}

KeySnapshot ReadKeys() {
    KeySnapshot keys;
    keys.escape = key[KEY_ESC] || closeRequested;
    keys.left = key[KEY_LEFT];
    keys.right = key[KEY_RIGHT];
    keys.shift = key[KEY_LSHIFT] || key[KEY_RSHIFT];
    keys.ctrl = key[KEY_LCONTROL] || key[KEY_RCONTROL];
    return keys;
}

Action Scroll(int direction, int count) {
    return {Act::Scroll, direction, count, 0};
}
Action MoveCursor(int step) {
    return {Act::MoveCursor, 0, 0, step};
}

void ScrollStep(Viewer& viewer, int direction, int count) {
    Canvases& c = viewer.canvases;
    clear_bitmap(c.chart);
    clear_bitmap(c.frame);
    DrawChart(viewer.window, c.chart, c.strip, direction, count);
    DrawStatBar(c.statusBar, c.frame);
    blit(c.chart, c.frame, 0, 0, 0, 0, c.chart->w, c.chart->h);
}

void CursorStep(Viewer& viewer, int step) {
    // The bounds are tested before the move, so the cursor never leaves the screen.
    if (step > 0 && viewer.cursorColumn < iscrWidth - 1) ++viewer.cursorColumn;
    if (step < 0 && viewer.cursorColumn != 0) --viewer.cursorColumn;
    Canvases& c = viewer.canvases;
    clear_bitmap(c.frame);
    blit(c.chart, c.frame, 0, 0, 0, 0, c.chart->w, c.chart->h);
    GetValue(viewer.window, viewer.cursorColumn);
    DrawStatBar(c.statusBar, c.frame);
}

// Sleeps until the next pass is due, so that an idle viewer leaves the processor alone.
void WaitForNextPass(timespec& due) {
    due.tv_nsec += kPassMilliseconds * 1000000L;
    if (due.tv_nsec >= 1000000000L) {
        due.tv_nsec -= 1000000000L;
        ++due.tv_sec;
    }
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    bool late = now.tv_sec > due.tv_sec || (now.tv_sec == due.tv_sec && now.tv_nsec > due.tv_nsec);
    if (late) {
        due = now;  // a slow pass does not make the next ones hurry
        return;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) != 0) {
    }
}
}  // namespace

Action Decide(const KeySnapshot& keys, int firstRecord) {
    if (keys.escape) return {Act::Quit};
    if (keys.right && keys.shift) return Scroll(1, 10);
    if (keys.right && keys.ctrl) return MoveCursor(+1);
    if (keys.right) return Scroll(1, 1);
    if (keys.left && keys.shift && firstRecord >= 1) return Scroll(0, 10);
    if (keys.left && keys.ctrl) return MoveCursor(-1);
    if (keys.left && firstRecord >= 1) return Scroll(0, 1);
    return {Act::Nothing};
}

bool ViewerPass(Viewer& viewer, const KeySnapshot& keys, BITMAP* target) {
    Action action = Decide(keys, isFp);
    if (action.act == Act::Quit) return false;
    if (action.act == Act::Scroll) ScrollStep(viewer, action.direction, action.count);
    if (action.act == Act::MoveCursor) CursorStep(viewer, action.step);
    BITMAP* frame = viewer.canvases.frame;
    DrawCursorLine(frame, viewer.cursorColumn);
    blit(frame, target, 0, 0, 0, 0, frame->w, frame->h);
    return true;
}

namespace {
bool OpenAllegro(bool fullscreen) {
    // Without an X display allegro_init fails, and set_gfx_mode must not be called then.
    if (allegro_init() != 0) return false;
    // Before the window exists, so that a close request cannot come in unheard.
    set_close_button_callback(OnCloseButton);
    set_color_depth(16);
    int driver = fullscreen ? GFX_AUTODETECT_FULLSCREEN : GFX_AUTODETECT_WINDOWED;
    if (set_gfx_mode(driver, iscrWidth, iscrHeight, 0, 0) != 0) return false;
    install_keyboard();
    set_window_title("plovo");
    return true;
}
}  // namespace

bool OpenGraphics(bool fullscreen) {
    // Allegro installs signal handlers of its own that end the process at once, and starts a
    // thread; hold the signals until ours are back, so that the shutdown always runs.
    HoldEndingSignals(true);
    bool open = OpenAllegro(fullscreen);
    if (open)
        DeferSignals();
    else
        InstallSignalHandlers();
    HoldEndingSignals(false);
    return open;
}

bool ShowFirstFrame(Viewer& viewer, BITMAP* target) {
    Canvases& c = viewer.canvases;
    if (!CreateCanvases(c)) return false;
    ChartInit(viewer.window, c.frame, c.chart, c.strip);
    DrawStatBar(c.statusBar, c.frame);
    blit(c.frame, target, 0, 0, 0, 0, c.frame->w, c.frame->h);
    return true;
}

int RunViewer(Viewer& viewer) {
    timespec due;
    clock_gettime(CLOCK_MONOTONIC, &due);
    while (PendingSignal() == 0 && ViewerPass(viewer, ReadKeys(), screen)) {
        if (keyboard_needs_poll()) poll_keyboard();
        WaitForNextPass(due);
    }
    int signal = PendingSignal();
    return signal == 0 ? 0 : 128 + signal;
}

void CloseGraphics(Viewer& viewer) {
    clear_keybuf();
    DestroyCanvases(viewer.canvases);
    allegro_exit();
}

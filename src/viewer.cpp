// The viewer: graphics start-up, the keyboard loop with its decision table and the rule for a
// followed log, the snapshot, and shutdown.
#include "viewer.h"

#include <loadpng.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>

#include "globals.h"
#include "logdata.h"
#include "picture.h"
#include "platform.h"
#include "xconnection.h"

// From the graphics library's X11 header, which would bring all of Xlib's macros along: sets
// the window's name and class, as window managers see them.
extern "C" void xwin_set_window_name(const char* name, const char* group);

namespace {
volatile sig_atomic_t closeRequested = 0;
std::string failureReason;  // why OpenGraphics failed, for GraphicsFailureReason

void OnCloseButton() {
    closeRequested = 1;
}

// Keys pressed since the last pass, set from the graphics library's input thread, so that a key
// pressed and released between two passes (a quick tap, a script's key) still counts once.
std::atomic<bool> pressedSinceLastPass[KEY_MAX];

// Held now, or pressed since the last pass.
bool Held(int scancode) {
    bool pressed = pressedSinceLastPass[scancode].exchange(false);
    return key[scancode] || pressed;
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

// Takes what the followed log gained within the pass's share of time and moves and redraws the
// window as FollowWindow says, through a scroll's drawing path. True when the frame changed or
// following stopped (the title loses its suffix); the reason then goes to stderr.
bool FollowStep(Viewer& viewer) {
    LogExtraction* log = viewer.follower;
    if (log == nullptr || !log->following()) return false;
    LogChange change{isFp, ieFp, iFc, 0, iscrWidth, false, false};
    double extreme = log->extreme();
    std::string error;
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kFollowMilliseconds);
    FollowResult result = log->Follow(deadline, error);
    if (result.stopped) std::cerr << error << std::endl;
    change.records = iFc;
    change.newExtreme = log->extreme() != extreme;
    change.startedOver = result.startedOver;
    WindowMove move = FollowWindow(change);
    if (move.rescale) SetScale(log->extreme());
    if (move.redraw) {
        RefillWindow(viewer.window, move.first);
        ScrollStep(viewer, 1, 0);  // a scroll by no record: the drawing of every scroll
    }
    return move.redraw || result.stopped;
}

// Sets the window's title when the text for the viewer's state differs from the one shown.
void KeepTitle(Viewer& viewer) {
    if (viewer.logName.empty()) return;
    std::string title = WindowTitle(viewer);
    if (title == viewer.title) return;
    viewer.title = title;
    set_window_title(title.c_str());
    SetUtf8WindowName(title);
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

void OnKeyEvent(int scancode) {
    if ((scancode & 0x80) == 0 && scancode < KEY_MAX) pressedSinceLastPass[scancode] = true;
}

KeySnapshot ReadKeys() {
    KeySnapshot keys;
    keys.escape = Held(KEY_ESC) || closeRequested || WindowLost();
    keys.left = Held(KEY_LEFT);
    keys.right = Held(KEY_RIGHT);
    // Both sides read, so that neither leaves a press for a later pass.
    bool leftShift = Held(KEY_LSHIFT), rightShift = Held(KEY_RSHIFT);
    bool leftCtrl = Held(KEY_LCONTROL), rightCtrl = Held(KEY_RCONTROL);
    keys.shift = leftShift || rightShift;
    keys.ctrl = leftCtrl || rightCtrl;
    return keys;
}

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

WindowMove FollowWindow(const LogChange& change) {
    bool follows = change.startedOver || change.last >= change.recordsBefore;
    WindowMove move;
    move.first = follows ? std::max(1, change.records - change.width + 1) : change.first;
    move.rescale = change.newExtreme || change.startedOver;
    bool moved = follows && (change.records != change.recordsBefore || move.first != change.first);
    move.redraw = move.rescale || moved;
    return move;
}

bool ViewerPass(Viewer& viewer, const KeySnapshot& keys, BITMAP* target) {
    Action action = Decide(keys, isFp);
    if (action.act == Act::Quit) return false;
    if (action.act == Act::Scroll) ScrollStep(viewer, action.direction, action.count);
    if (action.act == Act::MoveCursor) CursorStep(viewer, action.step);
    bool followed = FollowStep(viewer);
    if (action.act == Act::Nothing && !followed && !viewer.targetStale) return true;
    BITMAP* frame = viewer.canvases.frame;
    DrawCursorLine(frame, viewer.cursorColumn);
    blit(frame, target, 0, 0, 0, 0, frame->w, frame->h);
    viewer.targetStale = false;
    KeepTitle(viewer);
    return true;
}

std::string TitleText(const TitleFacts& facts) {
    std::ostringstream text;
    text << "plovo - " << facts.logName << " - " << facts.label << " - sample " << facts.record;
    if (facts.hasData)
        text << " at " << facts.time << " s: " << facts.sample;
    else
        text << ": no data";
    if (facts.following) text << " - following";
    return text.str();
}

std::string WindowTitle(const Viewer& viewer) {
    TitleFacts facts;
    facts.logName = viewer.logName;
    facts.label = cType;
    facts.record = static_cast<std::int64_t>(isFp) + viewer.cursorColumn;
    facts.hasData = facts.record <= iFc;
    if (facts.hasData) {
        facts.time = RecordTime(static_cast<int>(facts.record));
        facts.sample = czytaj(static_cast<int>(facts.record));
    }
    facts.following = viewer.follower != nullptr && viewer.follower->following() && ieFp >= iFc;
    return TitleText(facts);
}

namespace {
constexpr int kStartAttempts = 3;        // tries of the graphics library's start on a display
constexpr int kRetryMilliseconds = 100;  // pause before a new try, times the tries so far
constexpr int kStartSeconds = 15;        // the longest wait for the display's answers

// Starts the graphics library on the X display, trying again while the display itself opens:
// the library fails without saying why, so a connection of our own tells a lasting cause (no
// server, a refusal, a bad name) from a passing one. What the X library prints meanwhile (a
// server's refusal) is kept for the reason, never shown as it is.
bool StartOnDisplay() {
    StartDeadline deadline(kStartSeconds);
    for (int attempt = 1;; ++attempt) {
        // allegro_init creates the window, which takes its name and class from here.
        xwin_set_window_name("plovo", "plovo");
        bool started = false;
        // No exit handler: the library is shut down by CloseGraphics, never from exit(), which
        // another thread may call while the library's own thread holds its locks.
        std::string printed = CapturingStandardError(
            [&] { started = install_allegro(SYSTEM_AUTODETECT, &errno, nullptr) == 0; });
        if (started) return true;
        DisplayProbe probe = ProbeDisplay();  // cut at once, too, once the time is out
        failureReason = deadline.Reason();
        if (!failureReason.empty()) return false;
        if (!probe.opens) {
            failureReason = probe.reason;
            return false;
        }
        if (attempt == kStartAttempts) {
            failureReason = "the X display '" + Printable(std::getenv("DISPLAY")) +
                            "' opens, but the graphics library could not start on it" +
                            (printed.empty() ? "" : ": " + Printable(printed));
            return false;
        }
        usleep(kRetryMilliseconds * 1000 * attempt);
    }
}

bool OpenAllegro(bool fullscreen, const std::string& title) {
    // Set_gfx_mode must not be called when the start failed.
    if (!StartOnDisplay()) return false;
    // Before the window is shown, so that a close request cannot come in unheard.
    set_close_button_callback(OnCloseButton);
    set_window_title(title.c_str());
    set_color_depth(16);
    int driver = fullscreen ? GFX_AUTODETECT_FULLSCREEN : GFX_AUTODETECT_WINDOWED;
    if (set_gfx_mode(driver, iscrWidth, iscrHeight, 0, 0) != 0) {
        failureReason = std::string("the graphics mode was refused: ") +
                        (allegro_error[0] != '\0' ? allegro_error : "no reason given");
        allegro_exit();  // no exit handler does it
        return false;
    }
    SetUtf8WindowName(title);
    install_keyboard();
    keyboard_lowlevel_callback = OnKeyEvent;
    return true;
}

// Starts the graphics library with the ending signals held (it installs handlers of its own
// that end the process at once, and starts a thread), then puts ours back: deferred to the
// loop when `deferred`, else ending the process at once.
template <typename Start>
bool StartAllegro(Start start, bool deferred) {
    HoldEndingSignals(true);
    bool started = start();
    if (started && deferred)
        DeferSignals();
    else
        InstallSignalHandlers();
    HoldEndingSignals(false);
    return started;
}

}  // namespace

bool OpenGraphics(bool fullscreen, const std::string& title) {
    // Armed before the start: the server may go away at any moment of it, and the X library
    // then ends the process from whichever thread notices.
    EndOnBrokenConnection();
    ArmExitGuard(true);
    bool open = StartAllegro([&] { return OpenAllegro(fullscreen, title); }, true);
    if (!open) ArmExitGuard(false);
    return open;
}

std::string GraphicsFailureReason() {
    return "plovo: " + failureReason;
}

bool ShowFirstFrame(Viewer& viewer, BITMAP* target) {
    Canvases& c = viewer.canvases;
    if (!CreateCanvases(c)) return false;
    ChartInit(viewer.window, c.frame, c.chart, c.strip);
    DrawStatBar(c.statusBar, c.frame);
    blit(c.frame, target, 0, 0, 0, 0, c.frame->w, c.frame->h);
    viewer.targetStale = true;
    return true;
}

bool OpenPictureGraphics(std::string& error) {
    // No system driver: memory bitmaps only, no X connection.
    if (!StartAllegro([] { return install_allegro(SYSTEM_NONE, &errno, nullptr) == 0; }, false)) {
        error = "plovo: cannot start the graphics library: " + std::string(allegro_error);
        return false;
    }
    set_color_depth(16);
    register_png_file_type();
    // zlib's default level: the chart's flat colours compress almost as well as at the best
    // level, which took half of a snapshot's time.
    _png_compression_level = 6;
    return true;
}

void ClosePictureGraphics() {
    allegro_exit();
}

bool SaveSnapshot(Viewer& viewer, const std::string& path, std::string& error) {
    BITMAP* picture = create_bitmap(iscrWidth, iscrHeight);
    bool saved = false;
    if (picture == nullptr || !ShowFirstFrame(viewer, picture)) {
        error = "plovo: cannot draw the picture for '" + Printable(path) + "': out of memory";
    } else {
        ViewerPass(viewer, KeySnapshot{}, picture);
        saved = WritePicture(picture, path, error);
    }
    if (picture != nullptr) destroy_bitmap(picture);
    DestroyCanvases(viewer.canvases);
    return saved;
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
    // The guard stays armed: the X library may still end the process from inside the shutdown.
    allegro_exit();
    ArmExitGuard(false);
}

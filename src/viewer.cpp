// The viewer: the keyboard loop with its decision table, the rule for a followed log, and the
// window's title.
#include "viewer.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <sstream>

#include "globals.h"
#include "graphics.h"
#include "number.h"
#include "records.h"
#include "session.h"
#include "signals.h"
#include "xconnection.h"
#include "xwindow.h"

namespace {
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
// window as FollowWindow says, through a scroll's drawing path. True when the frame changed, or
// following stopped or the log's name went away or came back (the title's suffix changes); the
// reason then goes to stderr.
bool FollowStep(Viewer& viewer) {
    Session* session = viewer.follower;
    if (session == nullptr || !session->extraction().following()) return false;
    LogChange change{isFp, ieFp, iFc, 0, iscrWidth, false, false};
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kFollowMilliseconds);
    Growth growth = session->Follow(deadline);
    if (!growth.result.notice.empty()) std::cerr << growth.result.notice << std::endl;
    if (growth.result.stopped) std::cerr << growth.error << std::endl;
    change.records = iFc;
    change.newExtreme = growth.newExtreme;
    change.startedOver = growth.result.startedOver;
    WindowMove move = FollowWindow(change);
    if (move.rescale) session->Rescale();
    if (move.redraw) {
        RefillWindow(viewer.window, move.first);
        ScrollStep(viewer, 1, 0);  // a scroll by no record: the drawing of every scroll
    }
    return move.redraw || growth.result.stopped || growth.accessibleChanged;
}

// Sets the window's title when the text for the viewer's state differs from the one shown.
void KeepTitle(Viewer& viewer) {
    if (viewer.logName.empty()) return;
    std::string title = WindowTitle(viewer);
    if (title == viewer.title) return;
    viewer.title = title;
    SetWindowTitle(title);
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

KeySnapshot ReadKeys() {
    KeyEvents escape = KeySinceLastLook(KEY_ESC);
    KeyEvents left = KeySinceLastLook(KEY_LEFT), right = KeySinceLastLook(KEY_RIGHT);
    bool modifierLetGo = false;
    for (int modifier : {KEY_LSHIFT, KEY_RSHIFT, KEY_LCONTROL, KEY_RCONTROL})
        modifierLetGo = KeySinceLastLook(modifier).released || modifierLetGo;
    KeySnapshot keys;
    keys.escape = key[KEY_ESC] || escape.pressed || CloseRequested() || WindowLost();
    // An arrow pressed since the last pass acts with the modifiers it was pressed with. One still
    // held from an earlier press waits a pass when a modifier was let go: a script's Shift+Right
    // lets Shift go a moment before Right, and that moment is no step of 1.
    keys.left = left.pressed || (key[KEY_LEFT] && !modifierLetGo);
    keys.right = right.pressed || (key[KEY_RIGHT] && !modifierLetGo);
    keys.shift = key[KEY_LSHIFT] || key[KEY_RSHIFT] || left.shift || right.shift;
    keys.ctrl = key[KEY_LCONTROL] || key[KEY_RCONTROL] || left.ctrl || right.ctrl;
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
        text << " at " << ExactText(facts.time) << " s: " << ExactText(facts.sample);
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

bool ShowFirstFrame(Viewer& viewer, BITMAP* target) {
    Canvases& c = viewer.canvases;
    if (!CreateCanvases(c)) return false;
    ChartInit(viewer.window, c.frame, c.chart, c.strip);
    DrawStatBar(c.statusBar, c.frame);
    blit(c.frame, target, 0, 0, 0, 0, c.frame->w, c.frame->h);
    viewer.targetStale = true;
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

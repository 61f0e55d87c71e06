// The graphics library's start and end: the window with its keyboard and close button, or
// memory bitmaps alone for pictures.
#include "graphics.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "globals.h"
#include "signals.h"
#include "text.h"
#include "xconnection.h"
#include "xwindow.h"

namespace {
volatile sig_atomic_t closeRequested = 0;

void OnCloseButton() {
    closeRequested = 1;
}

// What each key did since the last look (kPressed, with the modifiers held at its last press,
// kShift and kCtrl; kReleased), set from the graphics library's input thread.
constexpr int kPressed = 1, kShift = 2, kCtrl = 4, kReleased = 8;
std::atomic<int> sinceLastLook[KEY_MAX];

constexpr int kStartAttempts = 3;        // tries of the graphics library's start on a display
constexpr int kRetryMilliseconds = 100;  // pause before a new try, times the tries so far
constexpr int kStartSeconds = 15;        // the longest wait for the display's answers

// Starts the graphics library on the X display, trying again while the display itself opens:
// the library fails without saying why, so a connection of our own tells a lasting cause (no
// server, a refusal, a bad name) from a passing one. What the X library prints meanwhile (a
// server's refusal) is kept for the reason, never shown as it is. False with the reason in `why`.
bool StartOnDisplay(const StartDeadline& deadline, std::string* why) {
    if (!CheckAuthorityFile(why)) return false;
    for (int attempt = 1;; ++attempt) {
        // allegro_init creates the window, which takes its name and class from here.
        NameTheNextWindow("plovo");
        bool started = false;
        // No exit handler: the library is shut down by CloseGraphics, never from exit(), which
        // another thread may call while the library's own thread holds its locks.
        std::string printed = CapturingStandardError(
            [&] { started = install_allegro(SYSTEM_AUTODETECT, &errno, nullptr) == 0; });
        if (started) return true;
        std::string unopened;
        bool opens = ProbeDisplay(&unopened);  // cut at once, too, once the time is out
        *why = deadline.Reason();
        if (!why->empty()) return false;
        if (!opens) {
            *why = unopened;
            return false;
        }
        if (attempt == kStartAttempts) {
            *why = "the X display '" + Printable(std::getenv("DISPLAY")) +
                   "' opens, but the graphics library could not start on it" +
                   (printed.empty() ? "" : ": " + Printable(printed));
            return false;
        }
        usleep(kRetryMilliseconds * 1000 * attempt);
    }
}

bool OpenAllegro(bool fullscreen, const std::string& title, std::string* why) {
    // Over the whole start: the window's opening waits for the server's answers too.
    StartDeadline deadline(kStartSeconds, kGraphicsFailure);
    // Set_gfx_mode must not be called when the start failed.
    if (!StartOnDisplay(deadline, why)) return false;
    // Before the window is shown, so that a close request cannot come in unheard.
    set_close_button_callback(OnCloseButton);
    set_window_title(title.c_str());  // until SetWindowTitle, once the window is up
    set_color_depth(16);
    int driver = fullscreen ? GFX_AUTODETECT_FULLSCREEN : GFX_AUTODETECT_WINDOWED;
    if (set_gfx_mode(driver, iscrWidth, iscrHeight, 0, 0) != 0) {
        *why = deadline.Reason();
        if (why->empty())
            *why = std::string("the graphics mode was refused: ") +
                   (allegro_error[0] != '\0' ? allegro_error : "no reason given");
        allegro_exit();  // no exit handler does it
        return false;
    }
    PrivateSharedScreen();
    SetWindowTitle(title);
    install_keyboard();
    keyboard_lowlevel_callback = NoteKeyEvent;
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

bool OpenGraphics(bool fullscreen, const std::string& title, std::string* err) {
    // Armed before the start: the server may go away at any moment of it, and the X library
    // then ends the process from whichever thread notices.
    EndOnBrokenConnection();
    ArmExitGuard(true);
    std::string why;
    bool open = StartAllegro([&] { return OpenAllegro(fullscreen, title, &why); }, true);
    if (!open) {
        ArmExitGuard(false);
        *err = "plovo: " + why;
    }
    return open;
}

bool CloseRequested() {
    return closeRequested != 0;
}

void NoteKeyEvent(int scancode) {
    int code = scancode & 0x7f;
    if (code >= KEY_MAX) return;
    if ((scancode & 0x80) != 0) {
        sinceLastLook[code] |= kReleased;
        return;
    }
    // The library has set key[] for the events before this one.
    int shift = key[KEY_LSHIFT] || key[KEY_RSHIFT] ? kShift : 0;
    int ctrl = key[KEY_LCONTROL] || key[KEY_RCONTROL] ? kCtrl : 0;
    sinceLastLook[code] &= kReleased;
    sinceLastLook[code] |= kPressed | shift | ctrl;
}

KeyEvents KeySinceLastLook(int scancode) {
    int events = sinceLastLook[scancode].exchange(0);
    return {(events & kPressed) != 0, (events & kShift) != 0, (events & kCtrl) != 0,
            (events & kReleased) != 0};
}

void CloseGraphics(Canvases& canvases) {
    clear_keybuf();
    DestroyCanvases(canvases);
    SkipWindowDefaults();
    // The guard stays armed: the X library may still end the process from inside the shutdown.
    allegro_exit();
    ArmExitGuard(false);
}

bool OpenPictureGraphics(std::string* err) {
    // No system driver: memory bitmaps only, no X connection.
    if (!StartAllegro([] { return install_allegro(SYSTEM_NONE, &errno, nullptr) == 0; }, false)) {
        *err = "plovo: cannot start the graphics library: " + std::string(allegro_error);
        return false;
    }
    set_color_depth(16);
    return true;
}

void ClosePictureGraphics() {
    allegro_exit();
}

// Failures of the X connection: why a display cannot be opened, and a clean end when it breaks.
// Kept apart from the other files: Xlib's macros clash with ordinary names.
#include "xconnection.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace {
int OnBrokenConnection(Display*) {
    const char message[] = "plovo: lost the connection to the X server\n";
    ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    (void)written;
    RemoveTempFile();
    _exit(1);
}

// The first fields of the graphics library's own X state (its X header is not installed): its
// connection and the window it draws in, which lies inside the window the desktop sees.
extern "C" {
extern struct {
    Display* display;
    volatile int lock_count;
    int screen;
    Window window;
} _xwin;
void _xwin_lock();
void _xwin_unlock();
}

volatile sig_atomic_t windowLost = 0;

// A request that failed, where the X library would print it and exit(): a window that another
// client destroyed fails every drawing request, which then ends the viewer like a close request;
// other failures are left to the graphics library, as the drawing goes on.
int OnRequestError(Display*, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable) windowLost = 1;
    return 0;
}

// Runs connect() with standard error going into a pipe, and returns what was written there: the
// X library prints a server's refusal (bad authorization, too many clients) instead of returning
// it.
template <typename Connect>
std::string CapturingStandardError(Connect connect) {
    int fds[2];
    int saved = dup(STDERR_FILENO);
    if (saved < 0 || pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (saved >= 0) close(saved);
        connect();
        return "";
    }
    dup2(fds[1], STDERR_FILENO);
    connect();
    int connectErrno = errno;
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(fds[1]);
    char text[1024];
    ssize_t got = read(fds[0], text, sizeof text - 1);
    close(fds[0]);
    errno = connectErrno;
    std::string said(text, got > 0 ? got : 0);
    while (!said.empty() && (said.back() == '\n' || said.back() == ' ')) said.pop_back();
    return said;
}

std::string Unopenable(const std::string& display, const std::string& why) {
    return "cannot open the X display '" + Printable(display) + "': " + why;
}
}  // namespace

void EndOnBrokenConnection() {
    XSetIOErrorHandler(OnBrokenConnection);
    XSetErrorHandler(OnRequestError);
}

bool WindowLost() {
    return windowLost != 0;
}

void SetUtf8WindowName(const std::string& name) {
    static Window topLevel = 0;
    static Atom netWmName = 0, utf8String = 0;
    _xwin_lock();
    Display* display = _xwin.display;
    if (display != nullptr && topLevel == 0 && _xwin.window != 0) {
        Window root = 0, *children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, _xwin.window, &root, &topLevel, &children, &count) == 0)
            topLevel = 0;
        if (children != nullptr) XFree(children);
        netWmName = XInternAtom(display, "_NET_WM_NAME", False);
        utf8String = XInternAtom(display, "UTF8_STRING", False);
    }
    if (display != nullptr && topLevel != 0) {
        XChangeProperty(display, topLevel, netWmName, utf8String, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(name.data()),
                        static_cast<int>(name.size()));
        XFlush(display);
    }
    _xwin_unlock();
}

DisplayProbe ProbeDisplay() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return {false, "no X display: DISPLAY is not set"};
    xcb_connection_t* connection = nullptr;
    int screen = 0;
    errno = 0;
    std::string refusal =
        CapturingStandardError([&] { connection = xcb_connect(nullptr, &screen); });
    int failure = xcb_connection_has_error(connection);
    // errno is the socket's when connecting failed; once connected, the non-blocking reads of
    // the server's answer leave EAGAIN or nothing new.
    int socketErrno = errno;
    xcb_disconnect(connection);
    if (failure == 0) return {true, ""};
    if (failure == XCB_CONN_CLOSED_PARSE_ERR)
        return {false, Unopenable(display, "not a display name")};
    if (failure == XCB_CONN_CLOSED_INVALID_SCREEN)
        return {false, Unopenable(display, "the server has no such screen")};
    if (failure == XCB_CONN_CLOSED_MEM_INSUFFICIENT)
        return {false, Unopenable(display, "out of memory")};
    if (!refusal.empty())
        return {false,
                Unopenable(display, "the server refused the connection: " + Printable(refusal))};
    if (socketErrno == 0 || socketErrno == EAGAIN)
        return {false, Unopenable(display, "the server closed the connection")};
    return {false, Unopenable(display, std::strerror(socketErrno))};
}

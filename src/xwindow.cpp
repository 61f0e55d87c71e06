// The graphics library's X window: its names, its shared screen memory, and its close.
// Kept apart from the other files: Xlib's macros clash with ordinary names.
#include "xwindow.h"

#include <allegro.h>
// After allegro.h, which it needs; it brings Xlib along.
#include <X11/Xatom.h>
#include <sys/shm.h>
#include <xalleg.h>

#include "text.h"

namespace {
void NoWindowDefaults() {}
}  // namespace

void NameTheNextWindow(const char* name) {
    xwin_set_window_name(name, name);
}

void SetWindowTitle(const std::string& title) {
    static Window topLevel = 0;
    static Atom netWmName = 0, utf8String = 0;
    // The graphics library's own X state: its connection, and the window it draws in, which lies
    // inside the window the desktop sees.
    XLOCK();
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
        std::string latin1 = Latin1Escaped(title);
        XChangeProperty(display, topLevel, netWmName, utf8String, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
        XChangeProperty(display, topLevel, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(latin1.data()),
                        static_cast<int>(latin1.size()));
        XFlush(display);
    }
    XUNLOCK();
}

void PrivateSharedScreen() {
    XLOCK();
    if (_xwin.display != nullptr && _xwin.use_shm) {
        XSync(_xwin.display, False);  // the server has attached the segment
        int id = _xwin.shminfo.shmid;
        struct shmid_ds segment;
        if (shmctl(id, IPC_STAT, &segment) == 0) {
            segment.shm_perm.mode = 0600;
            shmctl(id, IPC_SET, &segment);
        }
        shmctl(id, IPC_RMID, nullptr);
    }
    XUNLOCK();
}

void SkipWindowDefaults() {
    XLOCK();
    _xwin_window_defaultor = NoWindowDefaults;
    XUNLOCK();
}

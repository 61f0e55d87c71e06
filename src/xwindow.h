// The graphics library's X window: its names, its shared screen memory, and its close.
#pragma once

#include <string>

// Sets the name and class, as window managers see them, of the window the graphics library
// creates when it starts next.
void NameTheNextWindow(const char* name);

// Makes the shared memory through which the graphics library shows its screen (created readable
// and writable by anyone, and removed only by the library's orderly shutdown) private, and
// removed by the system once plovo and the X server have let go of it: an end by a signal, by
// the shutdown deadline or by the X server's loss leaves no segment behind. Call once the
// graphics mode is set.
void PrivateSharedScreen();

// Keeps the graphics library from setting its window's defaults again (title, class, and an icon
// whose colours take a round trip to the X server each) when it leaves the graphics mode: on the
// way out that work is lost, and on a busy machine each round trip waits for the server's turn.
void SkipWindowDefaults();

// Titles the graphics library's window: `title` as it is in _NET_WM_NAME (UTF-8), and in WM_NAME
// in Latin-1 with the other characters escaped (Latin1Escaped), in place of the library's own,
// which shows them as '^' and keeps 127 bytes. `title` must be well-formed UTF-8.
void SetWindowTitle(const std::string& title);

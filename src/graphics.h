// The graphics library's start and end: the window with its keyboard and close button, or
// memory bitmaps alone for pictures.
#pragma once

#include <string>

#include "chart.h"

// The line on standard output for a window that cannot be opened.
constexpr char kGraphicsFailure[] = "GFX init failure! Abnormal termination!";

// Opens the graphics mode and the keyboard with the window titled `title`, and routes the close
// button and the ending signals to the loop. From its start on, the X server going away ends the
// process with status 1, leaving no file. A start that fails while the display opens is tried
// again; one that still waits after 15 s fails (on a wait no cut connection ends, the process
// ends with kGraphicsFailure and the reason, status 1). False when the graphics mode cannot be had,
// with one line in err saying why, as found by a connection of our own.
bool OpenGraphics(bool fullscreen, const std::string& title, std::string* err);

// Whether the window's close button was pressed.
bool CloseRequested();
// The graphics library's low-level keyboard callback, called from its input thread with each
// key's scancode (| 0x80 for a release) once key[] holds the events before it.
void NoteKeyEvent(int scancode);
// What the key did since the last call for it, so that a key pressed and released between two
// looks (a quick tap, a script's key) still counts: pressed, with whether Shift or Control was
// held at its last press (a quick Shift+Right keeps its Shift even when an earlier look took the
// Shift alone), and released.
struct KeyEvents {
    bool pressed = false;
    bool shift = false;
    bool ctrl = false;
    bool released = false;
};
KeyEvents KeySinceLastLook(int scancode);

// Releases the keyboard, the canvases and the graphics library.
void CloseGraphics(Canvases& canvases);

// Starts the graphics library for pictures only: memory bitmaps, no display. False with one line
// in err.
bool OpenPictureGraphics(std::string* err);
void ClosePictureGraphics();

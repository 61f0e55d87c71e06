// Linux details: the INI path rule, the private temporary file, the console pause, fatal exits.
#pragma once

#include <string>

// argv[0] up to and including its last '/', then "plovo.ini"; just "plovo.ini" without a '/'.
std::string IniPathFor(const std::string& argv0);

// Creates a new private file (mode 0600) named plovo-XXXXXX.dat in $TMPDIR, or /tmp when that
// is unset, and makes it the process's temporary file, replacing (and removing) any earlier one.
// Returns a descriptor open for writing, or -1 with a message in error.
int CreateTempFile(std::string& error);

// Path of the temporary file; empty while there is none.
const char* TempPath();

// Deletes the temporary file, if there is one. Safe to call from a signal handler.
void RemoveTempFile();

// SIGINT, SIGTERM and SIGHUP end the process cleanly. At first a signal removes the temporary
// file and exits at once with status 128 + its number; after DeferSignals it is only noted, for
// the viewer loop to end and shut down in order. Call DeferSignals after the graphics library
// is up, since it installs handlers of its own.
void InstallSignalHandlers();
void DeferSignals();
// The number of a signal noted since DeferSignals, or 0.
int PendingSignal();
// Blocks those signals (true) or lets them through again (false), so that none arrives while
// the graphics library sets up its own handlers and threads.
void HoldEndingSignals(bool hold);

// Stands in for a Windows console's "PAUSE": waits for Enter when standard input is a
// terminal, so that a console window opened just for plovo stays readable; never blocks
// scripts.
void ConsolePause();

// Writes message as one line to standard output, removes the temporary file, pauses and ends
// the process with exit status 1.
[[noreturn]] void FatalExit(const std::string& message);

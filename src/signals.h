// The ending signals, the exit guard and the shutdown deadline: every way out removes plovo's
// files.
#pragma once

#include <csignal>
#include <functional>

// SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGXCPU and SIGPWR end
// the process cleanly, unless it started with one ignored, which stays so. At first a signal
// removes the temporary files and exits at once with status 128 + its number; after DeferSignals it
// is only noted, for the viewer loop to end and shut down in order. Call DeferSignals after the
// graphics library is up, since it installs handlers of its own. SIGPIPE and SIGXFSZ are ignored,
// so that a closed output or a file-size limit is a failed write, not a death that leaves the file.
void InstallSignalHandlers();
void DeferSignals();
// The ending signals that end plovo: those not ignored when it started (after
// InstallSignalHandlers), for a thread that waits for them itself.
void TakenEndingSignals(sigset_t* set);
// The number of a signal noted since DeferSignals, or 0. Noting one also calls EndWithin(128 + it).
int PendingSignal();

// Ends the process a couple of seconds from now at the latest, with the temporary files removed
// and exit status `status`: the graphics library's shutdown waits for the X server, which may
// have stopped answering. The first call sets the deadline; later ones do not move it.
void EndWithin(int status);
// Holds the ending signals away from the graphics library while it starts (true), so that its
// own handlers, which end the process without our clean-up, never see one; a watching thread
// still ends the process cleanly on one, however long the start-up blocks. False wakes the
// watcher at once, ends it, and lets the signals through to our handlers again.
void HoldEndingSignals(bool hold);

// While armed, a call to exit() from anywhere (the X library's default error handlers end the
// process that way, from whichever thread) removes the temporary files and ends the process at
// once with status 1, before anything is torn down under the threads that still run.
void ArmExitGuard(bool armed);

// The cores this process may run on: how many workers a job spreads over.
unsigned Cores();

// Runs `start` with every signal blocked, so that the threads it starts inherit the mask and
// never take one: an ending signal reaches the calling thread, and a file the calling thread
// creates is registered before a signal can remove what is registered and end the process.
void StartThreadsWithoutSignals(const std::function<void()>& start);

// Runs `step` with the ending signals held, and returns what it returns; one that came meanwhile
// ends the process once `step` is done, so that what `step` does is done whole or not at all.
bool WithEndingSignalsHeld(const std::function<bool()>& step);

// Bracket each write of an output's bytes (whole rows): an ending signal that comes meanwhile, in
// another thread, lets the write end (for 0.2 s at most) before the process ends, and a write that
// would begin once the process is ending never does, so that a table on standard output ends on a
// row boundary.
void BeginOutputWrite();
void EndOutputWrite();

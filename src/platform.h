// Linux details: the INI path rule, the private temporary file, the console pause, fatal exits.
#pragma once

#include <string>

// argv[0] up to and including its last '/', then "plovo.ini"; just "plovo.ini" without a '/'.
std::string IniPathFor(const std::string& argv0);

// The file name of `path` without its folder: what follows its last '/'.
std::string FileName(const std::string& path);

// Creates a new private file (mode 0600) named plovo-XXXXXX.dat in $TMPDIR, or /tmp when that
// is unset, and makes it the process's temporary file, replacing (and removing) any earlier one.
// Returns a descriptor open for writing, or -1 with a message in error.
int CreateTempFile(std::string& error);

// Creates the second temporary file, for the time column, as CreateTempFile does but named
// plovo-XXXXXX.time, without removing the first.
int CreateTimeFile(std::string& error);

// Paths of the temporary files; empty while there is none.
const char* TempPath();
const char* TimePath();

// Creates a new file beside `target`, hidden, named after it and with its extension, for a picture
// that replaces `target` by a rename once it is complete. It is removed with the temporary file, so
// that no way out leaves it. Returns its path, or "" with a message in error.
std::string CreateSiblingFile(const std::string& target, std::string& error);
// Renames the sibling file over its target. False with a message in error on failure; the
// sibling then stays for RemoveTempFile.
bool ReplaceWithSibling(const std::string& target, std::string& error);

// Deletes the temporary files and any sibling file, if there are. Safe to call from a signal
// handler.
void RemoveTempFile();

// SIGINT, SIGTERM, SIGHUP and SIGQUIT end the process cleanly. At first a signal removes the
// temporary file and exits at once with status 128 + its number; after DeferSignals it is only
// noted, for the viewer loop to end and shut down in order. Call DeferSignals after the graphics
// library is up, since it installs handlers of its own. SIGPIPE and SIGXFSZ are ignored, so that
// a closed output or a file-size limit is a failed write, not a death that leaves the file.
void InstallSignalHandlers();
void DeferSignals();
// The number of a signal noted since DeferSignals, or 0.
int PendingSignal();
// Holds the ending signals away from the graphics library while it starts (true), so that its
// own handlers, which end the process without our clean-up, never see one; a watching thread
// still ends the process cleanly on one, however long the start-up blocks. False lets them
// through to our handlers again.
void HoldEndingSignals(bool hold);

// While armed, a call to exit() from anywhere (the X library ends the process that way when its
// server goes away, from the graphics library's own thread) removes the temporary file and ends
// the process at once with status 1, before the graphics library tears down what the loop uses.
void ArmExitGuard(bool armed);

// `name` with control bytes shown as \xHH escapes, so that a file name cannot drive the
// terminal it is printed to: C0 bytes, DEL, and C1 bytes (0x80-0x9f alone, or U+0080-U+009F in
// UTF-8). Printable text, UTF-8 included, stays as it is.
std::string Printable(const std::string& name);

// Stands in for a Windows console's "PAUSE": waits for Enter when standard input is a
// terminal, so that a console window opened just for plovo stays readable; never blocks
// scripts.
void ConsolePause();

// Writes message as one line to standard output (and `reason`, when given, as a line to
// standard error), removes the temporary file, pauses and ends the process with exit status 1.
[[noreturn]] void FatalExit(const std::string& message, const std::string& reason = "");

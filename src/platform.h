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

// A path's directory ("." for a bare name, "/" at the root) and the name in it after the last
// '/' (empty when the path ends in one).
struct PathParts {
    std::string dir, name;
};
PathParts SplitPath(const std::string& path);

// Creates a new private file in `target`'s directory, hidden and named .plovo-XXXXXX plus the
// target's extension (which tells a writer the format), for a file that replaces `target` by a
// rename once it is complete. Any earlier one is removed first. RemoveTempFile removes it too,
// so that no way out leaves it. Returns a path to it that fits PATH_MAX whatever the target's
// length, or "" with a message in error.
std::string CreateSiblingFile(const std::string& target, std::string& error);
// Gives the sibling file the mode of the file it replaces, and its owner and group where the
// process may set them (a new file's mode when there is none), writes it to disk and renames
// it over its target. False with a message in error; the sibling then stays for
// RemoveSiblingFile.
bool ReplaceWithSibling(const std::string& target, std::string& error);
// Deletes the sibling file, if there is one.
void RemoveSiblingFile();

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
// process that way, from whichever thread) removes the temporary file and ends the process at
// once with status 1, before anything is torn down under the threads that still run.
void ArmExitGuard(bool armed);

// `name` with control bytes shown as \xHH escapes, so that a file name cannot drive the
// terminal it is printed to: C0 bytes, DEL, and C1 bytes (0x80-0x9f alone, or U+0080-U+009F in
// UTF-8). Printable text, UTF-8 included, stays as it is.
std::string Printable(const std::string& name);
// Printable(name) with every byte that is not part of well-formed UTF-8 escaped too, for text
// that must be valid UTF-8 (the report plot's, which cairo refuses otherwise).
std::string PrintableUtf8(const std::string& name);

// Gives a closed standard input, output or error a stand-in that fails every use, so that no
// file plovo opens takes its number (and a message, its place), and sends std::cout through a
// buffer that keeps why a write to standard output failed. Call first.
void GuardStandardStreams();
// `status`, or 1 after one line on standard error when standard output could not be written
// (full, closed, a pipe nobody reads), so that a script never takes lost output for success.
int StatusAfterOutput(int status);

// Stands in for a Windows console's "PAUSE": waits for Enter when standard input is a
// terminal, so that a console window opened just for plovo stays readable; never blocks
// scripts.
void ConsolePause();

// Writes message as one line to standard output (and `reason`, when given, as a line to
// standard error), removes the temporary file, pauses and ends the process with exit status 1.
[[noreturn]] void FatalExit(const std::string& message, const std::string& reason = "");

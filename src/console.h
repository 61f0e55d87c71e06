// The console: standard streams that no file takes the place of, standard output that must be
// written, the pause before a fatal end.
#pragma once

#include <ostream>
#include <string>

// Gives a closed standard input, output or error a stand-in that fails every use, so that no
// file plovo opens takes its number (and a message, its place), and sends std::cout through a
// buffer that keeps why a write to standard output failed. Call first.
void GuardStandardStreams();
// `status`, or 1 after one line on standard error when standard output could not be written
// (full, closed, a pipe nobody reads), so that a script never takes lost output for success.
int StatusAfterOutput(int status);

// Where the console's messages go: standard output, as the viewer's own messages always have,
// until UseBatchConsole.
std::ostream& Messages();
// For a run without a window, or one whose standard output carries an output and nothing else:
// messages go to standard error, and a failure never waits for Enter, so that a shell loop or a
// pipe is neither held nor polluted.
void UseBatchConsole();

// Stands in for a Windows console's "PAUSE": waits for Enter when standard input is a
// terminal, so that a console window opened just for plovo stays readable; never blocks
// scripts, nor a batch run.
void ConsolePause();

// Writes message as one line to Messages() (and `reason`, when given, as a line to
// standard error), removes the temporary file, pauses and ends the process with exit status 1.
[[noreturn]] void FatalExit(const std::string& message, const std::string& reason = "");

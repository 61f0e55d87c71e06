// The command line read, option by option, and made into the run's plan; the usage line, the
// version.
#pragma once

#include <string>

#include "plan.h"

// Printed when no log file is named.
extern const char* const kUsage;
// The program's version, from the build.
extern const char* const kVersion;

// Takes the options out of argv wherever they stand (until "--") and makes the run's plan: its
// mode and each output's request. A long option may be shortened to any beginning that names it
// alone; an output option may be given several times (a file each), any other one once, or again
// with the same value. `display` ($DISPLAY, null when unset) decides whether a window without one
// is replaced by --no-display-snapshot's picture. False with one line in err when an option is
// wrong or options cannot go together; the plan's mode still says which console's ways the
// message follows.
bool ParseOptions(int argc, char** argv, const char* display, Plan* plan, std::string* err);

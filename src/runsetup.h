// A run's settings before it reads a log: the checks of its outputs, plovo.ini under the command
// line's chart type and thresholds, and what the run cannot use.
#pragma once

#include <string>

#include "plan.h"
#include "settings.h"

// Refuses outputs that would share standard output, replace an input or cannot be written, and a
// --compare log that cannot be read. False with one line in err.
bool CheckRunOutputs(const Plan& plan, std::string* err);

// --brake-on and --stop-speed in place of [analysis], whatever plovo.ini holds there.
void ApplyThresholds(const Plan& plan, Settings& settings);

// Completes `settings` (as plovo.ini gave them) and the plan for a run of one log: the arguments
// after the log follow the plain command line's rule, the thresholds apply, and the outputs take
// the brake-application rule and the chart types. False with the refusal in err when the run
// cannot use them.
bool CompleteRun(Plan& plan, const char* argv0, Settings& settings, std::string* err);

// The warning for arguments after the chart type, which a run of outputs ignores: "" when none
// were given, or for the window, which keeps the plain command line's silence. `loaded`: whether
// plovo.ini was read, which the chart type then comes from.
std::string IgnoredArguments(const Plan& plan, bool loaded);

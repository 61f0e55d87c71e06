// A run of tables over many logs: the logs read by a worker per core, the rows written in the
// order of the command line.
#pragma once

#include <functional>
#include <string>

#include "braking.h"
#include "plan.h"

// Reads every log of the request, by as many workers as the process may use
// cores, and writes the tables asked for: the summary's row of each log and the brakings' rows,
// in the order of the logs, after the header rows unless --no-header, to each of the table's
// outputs. A log that cannot be read
// gets, in its place, a line through `say` naming it and why, and no row; `*allRead` is then
// false. While standard error is a terminal a progress line there counts the logs done (not
// while a table goes to a terminal). A table's file is written beside it and renamed over it
// once complete. A table on standard output that cannot be written stops the run and leaves
// every file as it was: StatusAfterOutput reports it. False with one line in err when a table's
// file cannot be written.
bool WriteTables(const TableRequest& request, const BrakingRule& rule,
                 const std::function<void(const std::string& line)>& say, bool* allRead,
                 std::string* err);

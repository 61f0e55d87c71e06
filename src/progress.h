// The progress line on the terminal while a long extraction reads the log.
#pragma once

#include <cstdint>
#include <string>

// Starts counting the bytes read from the log open on `log`. The line appears on standard error
// only when that is a terminal whose foreground plovo is and the extraction has run for more
// than kProgressDelay; it then shows the percent of the log's size read, or the megabytes read
// when the size is unknown (a pipe or a FIFO), at most every kProgressPeriod.
void StartProgress(int log);
// Adds bytes just read from the log. Costs a clock reading per call while the line may show.
void ReportProgress(std::int64_t bytes);
// Clears the line, if it shows. Safe to call from a signal handler.
void EndProgress();

constexpr double kProgressDelay = 1.0;    // s
constexpr double kProgressPeriod = 0.25;  // s

// The line's text for `done` of `total` bytes (total < 0: unknown), as "plovo: reading the log:
// 42%" or "plovo: reading the log: 1234 MB".
std::string ProgressText(std::int64_t done, std::int64_t total);

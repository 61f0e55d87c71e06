// The progress line on the terminal while a long extraction reads the log, a run reads many, or
// a log's brakings are drawn.
#pragma once

#include <cstdint>
#include <string>

// Keeps the line from showing for the rest of the process: a server's readings are no one's wait.
void SilenceProgress();

// Starts counting the bytes read from the log open on `log`. The line appears on standard error
// only when that is a terminal whose foreground plovo is and the extraction has run for more
// than kProgressDelay; it then shows the percent of the log's size read, or the megabytes read
// when the size is unknown (a pipe or a FIFO), at most every kProgressPeriod.
void StartProgress(int log);
// Adds bytes just read from the log; `drained` when the read took all there was for now (a pipe
// whose writer is slower), so that the next read may wait: the line then shows the bytes read so
// far at once, not a period later. Costs a clock reading per call while the line may show.
void ReportProgress(std::int64_t bytes, bool drained);
// Clears the line, if it shows. Safe to call from a signal handler.
void EndProgress();

// Starts counting the logs of a run over `logs` of them, whose line shows as the extraction's
// does, only when `allowed` too (not while a table goes to a terminal on standard output).
void StartLogProgress(std::int64_t logs, bool allowed);
// Notes how many logs are done. Costs a clock reading per call while the line may show.
void ReportLogsDone(std::int64_t done);
// The same for the figures of a log's brakings (--plot-brakings), `figures` of them.
void StartFigureProgress(std::int64_t figures);
void ReportFiguresDone(std::int64_t done);

// Blanks the line for a message to be written in its place; the next report shows it again.
void ClearProgressLine();

constexpr double kProgressDelay = 1.0;    // s
constexpr double kProgressPeriod = 0.25;  // s

// The line's text for `done` of `total` bytes (total < 0: unknown), as "plovo: reading the log:
// 42%" or "plovo: reading the log: 1234 MB".
std::string ProgressText(std::int64_t done, std::int64_t total);
// The run's line: "plovo: summarising the logs: 12 of 300 done".
std::string LogsDoneText(std::int64_t done, std::int64_t total);
// The figures' line: "plovo: drawing the brakings: 120 of 2978 done".
std::string FiguresDoneText(std::int64_t done, std::int64_t total);

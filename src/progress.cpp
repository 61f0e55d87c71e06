// The progress line on the terminal while a long extraction reads the log, a run reads many, or
// a log's brakings are drawn.
#include "progress.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace {
bool terminal = false;              // standard error is a terminal, so the line may show
bool silenced = false;              // the line never shows
std::int64_t total = -1, done = 0;  // bytes of the log
double nextLook = 0.0;              // s on the monotonic clock
double started = 0.0;               // s: when the counting began
std::string shown;                  // the line's text on the terminal, "" when none

// What blanks the line, kept where a signal handler can write it: a carriage return, spaces
// over the line and another carriage return.
char blank[80];
volatile sig_atomic_t blankLength = 0;

double Now() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The line is a courtesy: a failed write costs nothing but the line.
void Write(const char* text, std::size_t length) {
    ssize_t ignored = write(STDERR_FILENO, text, length);
    (void)ignored;
}

// False while plovo runs in the background of its terminal, where the line would land in the
// middle of whatever the user does there.
bool InForeground() {
    pid_t foreground = tcgetpgrp(STDERR_FILENO);
    return foreground == -1 || foreground == getpgrp();
}

void Show(const std::string& text) {
    // Padded so that nothing of a longer line before it stays.
    std::string line = "\r" + text;
    if (shown.size() > text.size()) line.append(shown.size() - text.size(), ' ');
    // The blank also covers the "^C" a terminal echoes after the line when Ctrl+C ends plovo.
    std::size_t width = std::min(line.size() + 1, sizeof blank - 2);
    blankLength = 0;
    blank[0] = '\r';
    std::memset(blank + 1, ' ', width);
    blank[width + 1] = '\r';
    blankLength = static_cast<sig_atomic_t>(width + 2);
    Write(line.data(), line.size());
    shown = text;
}

// Whether the line may show and its period has passed since the last look.
bool Due() {
    if (!terminal) return false;
    double now = Now();
    if (now < nextLook) return false;
    nextLook = now + kProgressPeriod;
    return true;
}

void ShowChanged(const std::string& text) {
    if (text != shown && InForeground()) Show(text);
}
}  // namespace

void SilenceProgress() {
    silenced = true;
}

void StartProgress(int log) {
    terminal = !silenced && isatty(STDERR_FILENO) == 1;
    struct stat status;
    total = fstat(log, &status) == 0 && S_ISREG(status.st_mode) ? status.st_size : -1;
    done = 0;
    started = Now();
    nextLook = started + kProgressDelay;
    shown.clear();
}

void ReportProgress(std::int64_t bytes, bool drained) {
    done += bytes;
    if (Due() || (drained && terminal && Now() - started >= kProgressDelay))
        ShowChanged(ProgressText(done, total));
}

void StartLogProgress(std::int64_t logs, bool allowed) {
    terminal = allowed && isatty(STDERR_FILENO) == 1;
    total = logs;
    done = 0;
    nextLook = Now() + kProgressDelay;
    shown.clear();
}

void ReportLogsDone(std::int64_t logsDone) {
    done = logsDone;
    if (Due()) ShowChanged(LogsDoneText(done, total));
}

void StartFigureProgress(std::int64_t figures) {
    StartLogProgress(figures, true);
}

void ReportFiguresDone(std::int64_t figuresDone) {
    done = figuresDone;
    if (Due()) ShowChanged(FiguresDoneText(done, total));
}

void ClearProgressLine() {
    EndProgress();
    shown.clear();
}

void EndProgress() {
    if (blankLength == 0) return;
    Write(blank, static_cast<std::size_t>(blankLength));
    blankLength = 0;
}

std::string ProgressText(std::int64_t done, std::int64_t total) {
    if (total <= 0) return "plovo: reading the log: " + std::to_string(done >> 20) + " MB";
    // A log that grows while it is read stays at 100%.
    int percent = static_cast<int>(std::min(100.0, 100.0 * done / total));
    return "plovo: reading the log: " + std::to_string(percent) + "%";
}

std::string LogsDoneText(std::int64_t done, std::int64_t total) {
    return "plovo: summarising the logs: " + std::to_string(done) + " of " + std::to_string(total) +
           " done";
}

std::string FiguresDoneText(std::int64_t done, std::int64_t total) {
    return "plovo: drawing the brakings: " + std::to_string(done) + " of " + std::to_string(total) +
           " done";
}

// Failures of the X connection: why a display cannot be opened, a time limit on the start, and a
// clean end when it breaks.
#pragma once

#include <functional>
#include <memory>
#include <string>

// From now on, the X library's report that the connection to the server broke (the server went
// away, from whichever thread notices it) removes the temporary files and ends the process at
// once with status 1, instead of the library's exit(), which would run exit handlers while the
// graphics library's threads still use the connection.
// A failed request no longer ends the process either; a drawing request on a window that
// another client destroyed makes WindowLost true.
void EndOnBrokenConnection();
bool WindowLost();

// Checks the authority file the X library reads when it connects to $DISPLAY (XAUTHORITY, else
// ~/.Xauthority): the library reads it to the end with blocking reads, so that a FIFO there would
// block the start and a device such as /dev/zero never end it. True when it is a regular file of
// at most kMaxAuthoritySize bytes, reads as empty at once (/dev/null), or is missing or
// unreadable (the library goes without); else false with the reason in `why`.
bool CheckAuthorityFile(std::string* why);
constexpr long kMaxAuthoritySize = 16L * 1024 * 1024;  // bytes: a few entries each of ~60

// Whether the display named by $DISPLAY opens now, tried with a connection of our own; false
// with why not in `why`, as "no X display: ..." or "cannot open the X display ...".
bool ProbeDisplay(std::string* why);

// Runs connect() with standard error going into a pipe, and returns what was written there as
// one line ("" for nothing): the X library prints a server's refusal (bad authorization, too
// many clients) instead of returning it. The broken-connection line still reaches the user.
std::string CapturingStandardError(const std::function<void()>& connect);

// While it lives, watches the time of a start on the X display: once `seconds` have passed, it
// cuts (shuts down) every socket opened since it was made, and any opened later, so that the X
// library, which waits for ever on a server that accepts and never answers and cannot be
// interrupted, fails as if the server had closed the connection. A start that still has not
// ended kCutGraceSeconds after the cut waits on something no cut reaches: the process then ends
// with status 1, `headline` on standard output and the reason on standard error, as it does
// when the library notices the cut connection itself.
constexpr int kCutGraceSeconds = 1;
class StartDeadline {
  public:
    StartDeadline(int seconds, const char* headline);
    ~StartDeadline();
    // "" while the time lasts; after, the reason for the failed start ("cannot open ...").
    std::string Reason() const;

  private:
    struct Watch;
    std::unique_ptr<Watch> watch_;
};

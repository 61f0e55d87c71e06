// The console: standard streams that no file takes the place of, standard output that must be
// written, the pause before a fatal end.
#include "console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "output.h"
#include "signals.h"
#include "tempfiles.h"

namespace {
// Where the messages of the console go: standard output, or standard error in a batch run.
std::ostream* messages = &std::cout;
bool pauses = true;  // a failure waits for Enter
}  // namespace

void GuardStandardStreams() {
    // In order, so that each open takes the lowest free number: the one found closed. Opened
    // for the other direction only, so that every use of it fails with EBADF.
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", (fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
    std::cout.rdbuf(&StandardOutputBuffer());
}

int StatusAfterOutput(int status) {
    std::cout.flush();
    int failure = StandardOutputBuffer().failure;
    if (failure == 0) return status;
    std::cerr << "plovo: cannot write standard output: " << std::strerror(failure) << std::endl;
    return 1;
}

void UseBatchConsole() {
    messages = &std::cerr;
    pauses = false;
}

std::ostream& Messages() {
    return *messages;
}

void ConsolePause() {
    if (!pauses || !isatty(STDIN_FILENO)) return;
    Messages() << "Press Enter to continue..." << std::flush;
    std::string line;
    std::getline(std::cin, line);
}

void FatalExit(const std::string& message, const std::string& reason) {
    Messages() << message << std::endl;
    if (!reason.empty()) std::cerr << reason << std::endl;
    RemoveTempFile();
    InstallSignalHandlers();  // so that Ctrl+C ends the pause at once
    ConsolePause();
    std::exit(StatusAfterOutput(1));
}

// The console: standard streams that no file takes the place of, standard output that must be
// written, the pause before a fatal end.
#include "console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "signals.h"
#include "tempfiles.h"

namespace {
// Standard output's buffer: std::cout's bytes go to descriptor 1, and the first failure's errno
// is kept, since the stream itself keeps only that it failed.
class OutputBuffer : public std::streambuf {
  public:
    OutputBuffer() { setp(bytes, bytes + sizeof bytes); }
    int failure = 0;  // errno of the first failed write; 0 while none failed

  protected:
    int overflow(int c) override {
        if (sync() != 0) return traits_type::eof();
        if (c != traits_type::eof()) sputc(static_cast<char>(c));
        return traits_type::not_eof(c);
    }
    int sync() override {
        for (const char* next = pbase(); next < pptr();) {
            ssize_t written = write(STDOUT_FILENO, next, pptr() - next);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                if (failure == 0) failure = written < 0 ? errno : EIO;
                setp(bytes, bytes + sizeof bytes);  // dropped: the failure is reported instead
                return -1;
            }
            next += written;
        }
        setp(bytes, bytes + sizeof bytes);
        return 0;
    }

  private:
    char bytes[4096];
};

// Never destroyed, so that std::cout can flush into it at exit.
OutputBuffer& outputBuffer = *new OutputBuffer;
}  // namespace

void GuardStandardStreams() {
    // In order, so that each open takes the lowest free number: the one found closed. Opened
    // for the other direction only, so that every use of it fails with EBADF.
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", (fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
    std::cout.rdbuf(&outputBuffer);
}

int StatusAfterOutput(int status) {
    std::cout.flush();
    if (outputBuffer.failure == 0) return status;
    std::cerr << "plovo: cannot write standard output: " << std::strerror(outputBuffer.failure)
              << std::endl;
    return 1;
}

void ConsolePause() {
    if (!isatty(STDIN_FILENO)) return;
    std::cout << "Press Enter to continue..." << std::flush;
    std::string line;
    std::getline(std::cin, line);
}

void FatalExit(const std::string& message, const std::string& reason) {
    std::cout << message << std::endl;
    if (!reason.empty()) std::cerr << reason << std::endl;
    RemoveTempFile();
    InstallSignalHandlers();  // so that Ctrl+C ends the pause at once
    ConsolePause();
    std::exit(StatusAfterOutput(1));
}

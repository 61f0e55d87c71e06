// Linux details: the INI path rule, the private temporary file, the console pause, fatal exits.
#include "platform.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {
// A fixed buffer rather than a std::string, so that a signal handler may read it.
char tempPath[PATH_MAX] = "";

volatile sig_atomic_t signalsDeferred = 0;
volatile sig_atomic_t pendingSignal = 0;

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnEndingSignal(int number) {
    if (signalsDeferred) {
        pendingSignal = number;
        return;
    }
    RemoveTempFile();
    _exit(128 + number);
}

void SetHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    for (int number : kEndingSignals) sigaction(number, &action, nullptr);
}
}  // namespace

std::string IniPathFor(const std::string& argv0) {
    std::string::size_type slash = argv0.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : argv0.substr(0, slash + 1);
    return dir + "plovo.ini";
}

int CreateTempFile(std::string& error) {
    RemoveTempFile();
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || *dir == '\0') dir = "/tmp";
    std::string pattern = std::string(dir) + "/plovo-XXXXXX.dat";
    if (pattern.size() >= sizeof tempPath) {
        error = std::string("plovo: cannot create temporary file in '") + dir +
                "': " + std::strerror(ENAMETOOLONG);
        return -1;
    }
    char candidate[PATH_MAX];
    std::memcpy(candidate, pattern.c_str(), pattern.size() + 1);
    // mkstemps opens with O_CREAT | O_EXCL and mode 0600: no clobbering, no symlink following.
    int fd = mkstemps(candidate, 4);
    if (fd < 0) {
        error = std::string("plovo: cannot create temporary file in '") + dir +
                "': " + std::strerror(errno);
        return -1;
    }
    std::memcpy(tempPath, candidate, sizeof tempPath);
    return fd;
}

const char* TempPath() {
    return tempPath;
}

void RemoveTempFile() {
    if (tempPath[0] == '\0') return;
    unlink(tempPath);
    tempPath[0] = '\0';
}

void InstallSignalHandlers() {
    signalsDeferred = 0;
    SetHandlers();
}

void DeferSignals() {
    signalsDeferred = 1;
    SetHandlers();
}

int PendingSignal() {
    return pendingSignal;
}

void HoldEndingSignals(bool hold) {
    sigset_t set;
    sigemptyset(&set);
    for (int number : kEndingSignals) sigaddset(&set, number);
    pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void ConsolePause() {
    if (!isatty(STDIN_FILENO)) return;
    std::cout << "Press Enter to continue..." << std::flush;
    std::string line;
    std::getline(std::cin, line);
}

void FatalExit(const std::string& message) {
    std::cout << message << std::endl;
    RemoveTempFile();
    InstallSignalHandlers();  // so that Ctrl+C ends the pause at once
    ConsolePause();
    std::exit(1);
}

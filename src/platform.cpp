// Linux details: the INI path rule, the private temporary file, the console pause, fatal exits.
#include "platform.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "progress.h"

namespace {
// Fixed buffers rather than std::strings, so that a signal handler may read them.
char tempPath[PATH_MAX] = "";
char timePath[PATH_MAX] = "";
char siblingPath[PATH_MAX] = "";

volatile sig_atomic_t signalsDeferred = 0;
volatile sig_atomic_t pendingSignal = 0;
volatile sig_atomic_t exitGuardArmed = 0;

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void OnEndingSignal(int number) {
    if (signalsDeferred) {
        pendingSignal = number;
        return;
    }
    RemoveTempFile();
    EndProgress();
    _exit(128 + number);
}

void SetHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    for (int number : kEndingSignals) sigaction(number, &action, nullptr);
}

sigset_t EndingSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : kEndingSignals) sigaddset(&set, number);
    return set;
}

// Creates a file from `pattern` (a path ending in XXXXXX and `suffix`) and records its name in
// `slot`, with the ending signals held in between, so that a signal finds either no file or a
// file it knows of. Returns the descriptor, or -1 with errno set.
int CreateRecorded(const std::string& pattern, int suffix, char (&slot)[PATH_MAX]) {
    if (pattern.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return -1;
    }
    char candidate[PATH_MAX];
    std::memcpy(candidate, pattern.c_str(), pattern.size() + 1);
    sigset_t set = EndingSignalSet(), previous;
    pthread_sigmask(SIG_BLOCK, &set, &previous);
    // mkstemps opens with O_CREAT | O_EXCL and mode 0600: no clobbering, no symlink following.
    int fd = mkstemps(candidate, suffix);
    int saved = errno;
    if (fd >= 0) std::memcpy(slot, candidate, PATH_MAX);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = saved;
    return fd;
}

std::atomic<bool> watching{false};
pthread_t watcher;

// Ends the process cleanly on an ending signal held from the other threads.
void* WatchEndingSignals(void*) {
    sigset_t set = EndingSignalSet();
    const timespec tick = {0, 100 * 1000 * 1000};  // how soon the thread sees it is released
    while (watching) {
        int number = sigtimedwait(&set, nullptr, &tick);
        if (number > 0) {
            RemoveTempFile();
            _exit(128 + number);
        }
    }
    return nullptr;
}

void OnExit() {
    if (!exitGuardArmed) return;
    RemoveTempFile();
    _exit(1);
}
}  // namespace

std::string IniPathFor(const std::string& argv0) {
    std::string::size_type slash = argv0.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : argv0.substr(0, slash + 1);
    return dir + "plovo.ini";
}

namespace {
// Creates plovo-XXXXXX<suffix> in $TMPDIR, or /tmp when that is unset, recorded in `slot`.
int CreatePrivateFile(const std::string& suffix, char (&slot)[PATH_MAX], std::string& error) {
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || *dir == '\0') dir = "/tmp";
    int fd = CreateRecorded(std::string(dir) + "/plovo-XXXXXX" + suffix,
                            static_cast<int>(suffix.size()), slot);
    if (fd < 0)
        error = "plovo: cannot create temporary file in '" + Printable(dir) +
                "': " + std::strerror(errno);
    return fd;
}
}  // namespace

std::string FileName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

int CreateTempFile(std::string& error) {
    RemoveTempFile();
    return CreatePrivateFile(".dat", tempPath, error);
}

int CreateTimeFile(std::string& error) {
    return CreatePrivateFile(".time", timePath, error);
}

const char* TempPath() {
    return tempPath;
}

const char* TimePath() {
    return timePath;
}

std::string CreateSiblingFile(const std::string& target, std::string& error) {
    // Hidden, unique, and with the target's extension, which tells the format.
    std::string pattern = target;
    std::string::size_type slash = target.rfind('/');
    std::string::size_type nameStart = slash == std::string::npos ? 0 : slash + 1;
    pattern.insert(nameStart, ".");
    std::string::size_type dot = target.rfind('.');
    bool hasExtension = dot != std::string::npos && dot > nameStart;
    std::string extension = hasExtension ? target.substr(dot) : "";
    int fd = CreateRecorded(pattern + "-XXXXXX" + extension, static_cast<int>(extension.size()),
                            siblingPath);
    if (fd < 0) {
        error = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errno);
        return "";
    }
    // The picture gets the permissions of a newly created file, not the private 0600.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    return siblingPath;
}

bool ReplaceWithSibling(const std::string& target, std::string& error) {
    if (rename(siblingPath, target.c_str()) != 0) {
        error = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errno);
        return false;
    }
    siblingPath[0] = '\0';
    return true;
}

void RemoveTempFile() {
    for (char* path : {tempPath, timePath, siblingPath}) {
        if (path[0] == '\0') continue;
        unlink(path);
        path[0] = '\0';
    }
}

void InstallSignalHandlers() {
    signalsDeferred = 0;
    SetHandlers();
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

void DeferSignals() {
    signalsDeferred = 1;
    SetHandlers();
}

int PendingSignal() {
    return pendingSignal;
}

void HoldEndingSignals(bool hold) {
    sigset_t set = EndingSignalSet();
    if (hold) {
        // Threads started from now on (the watcher, the graphics library's) inherit the mask.
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        watching = true;
        if (pthread_create(&watcher, nullptr, WatchEndingSignals, nullptr) != 0) watching = false;
        return;
    }
    if (watching) {
        watching = false;
        pthread_join(watcher, nullptr);
    }
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void ArmExitGuard(bool armed) {
    static bool registered = false;
    if (armed && !registered) registered = std::atexit(OnExit) == 0;
    exitGuardArmed = armed;
}

namespace {
// Length of the well-formed UTF-8 sequence of two to four bytes at text[i], or 0. The second
// byte's range is narrower after E0, ED, F0 and F4: no overlong forms, surrogates, or code
// points beyond U+10FFFF.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    unsigned char lead = text[i];
    std::size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
    if (lead < 0xc2 || lead > 0xf4 || i + length > text.size()) return 0;
    unsigned char low = lead == 0xe0 ? 0xa0 : lead == 0xf0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xed ? 0x9f : lead == 0xf4 ? 0x8f : 0xbf;
    for (std::size_t k = 1; k < length; ++k, low = 0x80, high = 0xbf) {
        unsigned char next = text[i + k];
        if (next < low || next > high) return 0;
    }
    return length;
}
}  // namespace

std::string Printable(const std::string& name) {
    std::string shown;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = name[i];
        std::size_t length = c >= 0x80 ? Utf8Length(name, i) : 0;
        // U+0080-U+009F, C2 80 to C2 9F, are the C1 controls again.
        bool c1 = length == 2 && c == 0xc2 && static_cast<unsigned char>(name[i + 1]) <= 0x9f;
        if (length > 0 && !c1) {
            shown.append(name, i, length);
            i += length - 1;
        } else if (c < 0x20 || c == 0x7f || (c >= 0x80 && c <= 0x9f) || c1) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
        } else {
            shown += static_cast<char>(c);  // printable ASCII, or a byte of an 8-bit charset
        }
    }
    return shown;
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
    std::exit(1);
}

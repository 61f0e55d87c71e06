// Linux details: the INI path rule, the private temporary file, the console pause, fatal exits.
#include "platform.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
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
int siblingDir = -1;  // the sibling's directory, open while there is a sibling

volatile sig_atomic_t signalsDeferred = 0;
volatile sig_atomic_t pendingSignal = 0;
volatile sig_atomic_t exitGuardArmed = 0;

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile sig_atomic_t deadlineStatus = -1;  // the exit status EndWithin set, or -1
constexpr unsigned kShutdownSeconds = 2;

void OnDeadline(int) {
    RemoveTempFile();
    _exit(deadlineStatus);
}

// Only async-signal-safe calls: it also runs in the handler of a deferred signal.
void ArmDeadline(int status) {
    if (deadlineStatus >= 0) return;
    deadlineStatus = status;
    struct sigaction action = {};
    action.sa_handler = OnDeadline;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    alarm(kShutdownSeconds);
}

void OnEndingSignal(int number) {
    if (signalsDeferred) {
        // The loop ends on it; the deadline ends the process should the X server keep the loop
        // or the shutdown waiting.
        pendingSignal = number;
        ArmDeadline(128 + number);
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

// The watcher: a thread that reads the held ending signals from a signalfd while the graphics
// library starts, and a wake-up descriptor that releases it at once.
pthread_t watcher;
int signalFd = -1;
int releaseFd = -1;

// Ends the process cleanly on an ending signal held from the other threads; returns when
// releaseFd is written.
void* WatchEndingSignals(void*) {
    pollfd fds[2] = {{signalFd, POLLIN, 0}, {releaseFd, POLLIN, 0}};
    while (poll(fds, 2, -1) < 0 && errno == EINTR) {
    }
    signalfd_siginfo info;
    if ((fds[0].revents & POLLIN) && read(signalFd, &info, sizeof info) == sizeof info) {
        RemoveTempFile();
        _exit(128 + static_cast<int>(info.ssi_signo));
    }
    return nullptr;
}

void CloseWatcherFds() {
    for (int* fd : {&signalFd, &releaseFd}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
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

PathParts SplitPath(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), FileName(path)};
}

std::string CreateSiblingFile(const std::string& target, std::string& error) {
    RemoveSiblingFile();
    auto [dir, name] = SplitPath(target);
    std::string::size_type dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    if (extension.size() > NAME_MAX - 13) extension.clear();  // 13: ".plovo-XXXXXX"
    // The directory stays open: the rename is made relative to it, and a path through it in
    // /proc stays short when the directory's own path leaves no room for the sibling's name.
    int fd = -1;
    errno = EISDIR;  // for a target that names no file
    if (!name.empty()) siblingDir = open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (siblingDir >= 0) {
        std::string pattern = dir + "/.plovo-XXXXXX" + extension;
        if (pattern.size() >= PATH_MAX)
            pattern = "/proc/self/fd/" + std::to_string(siblingDir) + "/.plovo-XXXXXX" + extension;
        fd = CreateRecorded(pattern, static_cast<int>(extension.size()), siblingPath);
    }
    if (fd < 0) {
        error = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errno);
        RemoveSiblingFile();
        return "";
    }
    close(fd);
    return siblingPath;
}

namespace {
// Gives the file `fd` the mode, owner and group of the regular file `name` in `dir` where the
// process may, or the permissions of a newly created file when there is none.
void TakeOldAttributes(int fd, int dir, const char* name) {
    struct stat old;
    if (fstatat(dir, name, &old, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(old.st_mode)) {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        return;
    }
    // Owner and group at once (root), else the group alone (an owner in that group); the mode
    // after them, since a change of owner clears the set-user-ID and set-group-ID bits.
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, -1, old.st_gid) != 0)
        errno = 0;  // neither may be set: the file stays the process's own
    fchmod(fd, old.st_mode & 07777);
}
}  // namespace

bool ReplaceWithSibling(const std::string& target, std::string& error) {
    const char* siblingName = std::strrchr(siblingPath, '/') + 1;
    std::string name = SplitPath(target).name;
    int fd = openat(siblingDir, siblingName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bool replaced = fd >= 0;
    if (replaced) {
        TakeOldAttributes(fd, siblingDir, name.c_str());
        // On disk before the rename, so that a crash leaves the old file or the whole new one.
        replaced = fsync(fd) == 0;
    }
    int saved = errno;
    if (fd >= 0) close(fd);
    errno = saved;
    if (!replaced || renameat(siblingDir, siblingName, siblingDir, name.c_str()) != 0) {
        error = "plovo: cannot write '" + Printable(target) + "': " + std::strerror(errno);
        return false;
    }
    siblingPath[0] = '\0';
    RemoveSiblingFile();
    return true;
}

void RemoveSiblingFile() {
    if (siblingPath[0] != '\0') unlink(siblingPath);
    siblingPath[0] = '\0';
    if (siblingDir >= 0) close(siblingDir);
    siblingDir = -1;
}

void RemoveTempFile() {
    for (char* path : {tempPath, timePath}) {
        if (path[0] != '\0') unlink(path);
        path[0] = '\0';
    }
    RemoveSiblingFile();
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

void EndWithin(int status) {
    ArmDeadline(status);
}

void HoldEndingSignals(bool hold) {
    sigset_t set = EndingSignalSet();
    if (hold) {
        // Threads started from now on (the watcher, the graphics library's) inherit the mask.
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        signalFd = signalfd(-1, &set, SFD_CLOEXEC);
        releaseFd = eventfd(0, EFD_CLOEXEC);
        bool started = signalFd >= 0 && releaseFd >= 0 &&
                       pthread_create(&watcher, nullptr, WatchEndingSignals, nullptr) == 0;
        if (!started) CloseWatcherFds();
        return;
    }
    if (releaseFd >= 0) {
        const std::uint64_t one = 1;
        ssize_t written = write(releaseFd, &one, sizeof one);
        (void)written;  // an eventfd takes 8 bytes at once unless its count is full
        pthread_join(watcher, nullptr);
        CloseWatcherFds();
    }
    // A signal that came meanwhile is still pending: our handlers take it now.
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

std::string PrintableUtf8(const std::string& name) {
    // Printable's escapes are ASCII: the sequences it keeps stay whole, the bytes it left raw
    // still belong to none.
    std::string printable = Printable(name), shown;
    for (std::size_t i = 0; i < printable.size(); ++i) {
        unsigned char c = printable[i];
        std::size_t length = c < 0x80 ? 1 : Utf8Length(printable, i);
        if (length == 0) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
            continue;
        }
        shown.append(printable, i, length);
        i += length - 1;
    }
    return shown;
}

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

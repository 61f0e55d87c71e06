// Failures of the X connection: why a display cannot be opened, a time limit on the start, and a
// clean end when it breaks.
// Kept apart from the other files: Xlib's macros clash with ordinary names.
#include "xconnection.h"

#include <X11/Xauth.h>
#include <X11/Xlib.h>
#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "tempfiles.h"
#include "text.h"

namespace {
// Standard error as the user sees it, also while CapturingStandardError holds it.
std::atomic<int> userStandardError{STDERR_FILENO};
// The line for a connection that StartDeadline cut, once it has (then cutLine points to it),
// and the line for standard output that goes before it.
char cutText[256];
std::atomic<const char*> cutLine{nullptr};
std::atomic<const char*> cutHeadline{nullptr};
const char kNotADisplayName[] = "not a display name";

void WriteLine(int fd, const char* text) {
    ssize_t written = write(fd, text, std::strlen(text));
    written = write(fd, "\n", 1);
    (void)written;
}

// Ends the process with status 1 after `headline` (when given) on standard output and `reason`
// on standard error, with the temporary files removed. The first thread to call it ends the
// process; another waits for that end, so that the lines appear once.
[[noreturn]] void EndWith(const char* headline, const char* reason) {
    static std::atomic<bool> ending{false};
    if (!ending.exchange(true)) {
        if (headline != nullptr) WriteLine(STDOUT_FILENO, headline);
        WriteLine(userStandardError, reason);
        RemoveTempFile();
        _exit(1);
    }
    for (;;) pause();
}

int OnBrokenConnection(Display*) {
    const char* cut = cutLine;
    if (cut != nullptr) EndWith(cutHeadline, cut);
    EndWith(nullptr, "plovo: lost the connection to the X server");
}

volatile sig_atomic_t windowLost = 0;

// A request that failed, where the X library would print it and exit(): a window that another
// client destroyed fails every drawing request, which then ends the viewer like a close request;
// other failures are left to the graphics library, as the drawing goes on.
int OnRequestError(Display*, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable) windowLost = 1;
    return 0;
}

// The non-empty lines of `text`, each trimmed, joined by "; ".
std::string OneLine(const std::string& text) {
    std::string line, joined;
    for (char c : text + "\n") {
        if (c != '\n') {
            line += c;
            continue;
        }
        line.erase(0, line.find_first_not_of(" \t\r"));
        line.erase(line.find_last_not_of(" \t\r") + 1);
        if (!line.empty()) joined += (joined.empty() ? "" : "; ") + line;
        line.clear();
    }
    return joined;
}

std::string Unopenable(const std::string& display, const std::string& why) {
    return "cannot open the X display '" + Printable(display) + "': " + why;
}

// Connects a new socket to `address`: 0 when it connects, else the error number.
int ConnectionError(const sockaddr* address, socklen_t length, int flags) {
    int fd = socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
    if (fd < 0) return errno;
    int error = connect(fd, address, length) == 0 ? 0 : errno;
    close(fd);
    return error;
}

// The same for a local socket (abstract when `path` begins with '\0'), without waiting for a
// server whose queue is full.
int LocalConnectionError(const std::string& path) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), std::min(path.size(), sizeof address.sun_path));
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    return ConnectionError(reinterpret_cast<sockaddr*>(&address), length, SOCK_NONBLOCK);
}

// Whether a TCP connection to `port` on `host` opens, made as the X library makes it ("[...]" is
// an IPv6 address); false with why not in `why`.
bool TcpConnects(std::string host, int port, std::string* why) {
    addrinfo hints = {};
    hints.ai_flags = AI_NUMERICSERV;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        hints.ai_flags |= AI_NUMERICHOST;
        hints.ai_family = AF_INET6;
    }
    addrinfo* found = nullptr;
    int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
        *why = "the host '" + Printable(host) + "' was not found: " +
               (lookup == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(lookup));
        return false;
    }
    int error = 0;
    for (addrinfo* address = found; address != nullptr; address = address->ai_next) {
        error = ConnectionError(address->ai_addr, address->ai_addrlen, 0);
        if (error == 0) break;
    }
    freeaddrinfo(found);
    if (error == 0) return true;
    *why = "no connection to '" + Printable(host) + "' port " + std::to_string(port) + ": " +
           std::strerror(error);
    return false;
}

// Connects to the display's server with sockets of our own, in the X library's order, to tell
// why the library's connection failed: true when one opens, else false with why not in `why`.
// A name is [protocol/]host:number; a
// local display (no host, or "unix") is the socket X<number> in /tmp/.X11-unix, first as an
// abstract name, then as a file, then, for a bare ":number", TCP on localhost.
bool Connects(const std::string& display, std::string* why) {
    char* parsedHost = nullptr;
    int number = 0;
    if (xcb_parse_display(display.c_str(), &parsedHost, &number, nullptr) == 0)
        return Refuse(why, kNotADisplayName);
    std::string host = parsedHost;
    std::free(parsedHost);
    std::string::size_type slash = display.rfind('/');
    bool bare = slash == std::string::npos;
    std::string protocol = bare ? "" : display.substr(0, slash);
    if (!bare && protocol != "tcp" && protocol != "inet" && protocol != "inet6" &&
        protocol != "unix")
        return Refuse(why,
                      "'" + Printable(protocol) + "' is not a protocol (tcp, inet, inet6 or unix)");
    int port = 6000 + number;
    if (protocol != "unix" && !host.empty() && host != "unix") return TcpConnects(host, port, why);
    if (!bare && protocol != "unix")
        return Refuse(why, "the protocol '" + protocol + "' needs a host name");
    std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    int error = LocalConnectionError('\0' + path);
    if (error == ENOENT || error == ECONNREFUSED) error = LocalConnectionError(path);
    std::string tcp;
    if (error != 0 && bare && host.empty() && TcpConnects("localhost", port, &tcp)) error = 0;
    return error == 0 || Refuse(why, "no connection to " + path + ": " + std::strerror(error));
}

// Why the X library's connection failed as `failure`, from what it printed (the server's
// refusal) or from a connection of our own: false with the reason in `why`, true when that one
// opens.
bool ConnectsAfter(const std::string& display, int failure, const std::string& printed,
                   std::string* why) {
    if (failure == XCB_CONN_CLOSED_PARSE_ERR) return Refuse(why, kNotADisplayName);
    if (failure == XCB_CONN_CLOSED_INVALID_SCREEN)
        return Refuse(why, "the server has no such screen");
    if (failure == XCB_CONN_CLOSED_MEM_INSUFFICIENT) return Refuse(why, "out of memory");
    if (!printed.empty())
        return Refuse(why, "the server refused the connection: " + Printable(printed));
    // Not errno: a failed setup leaves a stale one (the missing ~/.Xauthority's, say).
    return Connects(display, why);
}

// Whether the X library can read the authority file at `path` to its end (it reads with
// blocking reads): true for a regular file of at most kMaxAuthoritySize bytes, something that
// reads as empty at once (/dev/null), or a file the library cannot open either, as it then goes
// without one; else false with why in `why`. Opened without blocking, as a FIFO would block.
bool AuthorityUsable(const char* path, std::string* why) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return true;
    struct stat status;
    char byte;
    why->clear();
    if (fstat(fd, &status) != 0)
        *why = std::strerror(errno);
    else if (S_ISREG(status.st_mode) && status.st_size > kMaxAuthoritySize)
        *why = "larger than 16 MiB";
    else if (!S_ISREG(status.st_mode) && (S_ISFIFO(status.st_mode) || read(fd, &byte, 1) != 0))
        *why = "not a regular file";
    close(fd);
    return why->empty();
}

// The process's open sockets: each descriptor with its inode, which tells a socket opened later
// under a reused number.
std::vector<std::pair<int, ino_t>> OpenSockets() {
    std::vector<std::pair<int, ino_t>> sockets;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return sockets;
    while (dirent* entry = readdir(dir)) {
        struct stat status;
        int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode))
            sockets.emplace_back(fd, status.st_ino);
    }
    closedir(dir);
    return sockets;
}
}  // namespace

void EndOnBrokenConnection() {
    XSetIOErrorHandler(OnBrokenConnection);
    XSetErrorHandler(OnRequestError);
}

bool WindowLost() {
    return windowLost != 0;
}

bool CheckAuthorityFile(std::string* why) {
    const char* display = std::getenv("DISPLAY");
    const char* path = XauFileName();  // the library's own choice: XAUTHORITY, or ~/.Xauthority
    if (display == nullptr || *display == '\0' || path == nullptr) return true;
    std::string problem;
    if (AuthorityUsable(path, &problem)) return true;
    *why = Unopenable(display, "the authority file '" + Printable(path) + "' is " + problem);
    return false;
}

bool ProbeDisplay(std::string* why) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return Refuse(why, "no X display: DISPLAY is not set");
    std::string reason;
    // A socket of ours that connects where the library's connection failed without a word: the
    // server closed that one before it answered, or has come up only now. A second try tells.
    for (int tries = 0; tries < 2; ++tries) {
        xcb_connection_t* connection = nullptr;
        int screen = 0;
        std::string printed =
            CapturingStandardError([&] { connection = xcb_connect(display, &screen); });
        int failure = xcb_connection_has_error(connection);
        xcb_disconnect(connection);
        if (failure == 0) return true;
        if (!ConnectsAfter(display, failure, printed, &reason)) break;
        reason.clear();
    }
    return Refuse(
        why, Unopenable(display, reason.empty() ? "the server closed the connection" : reason));
}

std::string CapturingStandardError(const std::function<void()>& connect) {
    int fds[2];
    int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (saved < 0 || pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (saved >= 0) close(saved);
        connect();
        return "";
    }
    dup2(fds[1], STDERR_FILENO);
    userStandardError = saved;
    connect();
    int connectErrno = errno;
    dup2(saved, STDERR_FILENO);
    userStandardError = STDERR_FILENO;
    close(saved);
    close(fds[1]);
    char text[1024];
    ssize_t got = read(fds[0], text, sizeof text - 1);
    close(fds[0]);
    errno = connectErrno;
    return OneLine(std::string(text, got > 0 ? got : 0));
}

struct StartDeadline::Watch {
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    std::atomic<bool> expired{false};
    std::string reason;
    std::vector<std::pair<int, ino_t>> before = OpenSockets();
    const char* headline = nullptr;
    std::thread thread;

    void Run(int seconds) {
        std::unique_lock<std::mutex> lock(mutex);
        auto ended = [this] { return done; };
        if (wake.wait_for(lock, std::chrono::seconds(seconds), ended)) return;
        std::snprintf(cutText, sizeof cutText, "plovo: %s", reason.c_str());
        cutHeadline = headline;
        cutLine = cutText;
        expired = true;
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(kCutGraceSeconds);
        // A new try or a probe after the cut would wait for ever too: cut again until the end.
        // A start that still waits then waits on something else (a file, a name lookup): the
        // process ends here, the lock held so that the start's own failure cannot print too.
        do {
            if (std::chrono::steady_clock::now() >= giveUp) EndWith(headline, cutText);
            for (const auto& socket : OpenSockets()) {
                bool old = std::find(before.begin(), before.end(), socket) != before.end();
                if (!old) shutdown(socket.first, SHUT_RDWR);
            }
        } while (!wake.wait_for(lock, std::chrono::milliseconds(100), ended));
    }
};

StartDeadline::StartDeadline(int seconds, const char* headline) : watch_(new Watch) {
    watch_->headline = headline;
    const char* display = std::getenv("DISPLAY");
    watch_->reason =
        Unopenable(display ? display : "", "no answer within " + std::to_string(seconds) + " s");
    try {
        watch_->thread = std::thread(&Watch::Run, watch_.get(), seconds);
    } catch (const std::system_error&) {
        // No thread: the start goes on without a time limit.
    }
}

StartDeadline::~StartDeadline() {
    {
        std::lock_guard<std::mutex> lock(watch_->mutex);
        watch_->done = true;
    }
    watch_->wake.notify_one();
    if (watch_->thread.joinable()) watch_->thread.join();
}

std::string StartDeadline::Reason() const {
    return watch_->expired ? watch_->reason : "";
}

// The ending signals, the exit guard and the shutdown deadline: every way out removes plovo's
// files.
#include "signals.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "progress.h"
#include "tempfiles.h"

namespace {
volatile sig_atomic_t signalsDeferred = 0;
volatile sig_atomic_t pendingSignal = 0;
volatile sig_atomic_t exitGuardArmed = 0;

// The signals a user or the system sends to end a process (their default ends it): each removes
// plovo's files first. SIGPIPE and SIGXFSZ are ignored instead, SIGKILL cannot be caught, SIGPROF
// stays a profiler's, and the rest are faults or job control.
const int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1,
                              SIGUSR2, SIGALRM, SIGVTALRM, SIGXCPU, SIGPWR};
// An ending signal ignored when plovo started (nohup's SIGHUP, a background job's SIGINT and
// SIGQUIT) stays ignored, as the caller asked.
bool inheritedIgnore[NSIG] = {};

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

// The thread writing an output's bytes now, or 0; and whether the process is ending, after which
// no write begins. Lock-free, so that the handler may read them.
std::atomic<pid_t> outputWriter{0};
std::atomic<bool> ending{false};
constexpr int kWriteWaitMilliseconds = 200;

// Lets a write of an output's bytes that another thread is making end first: bytes being copied
// take moments; a write that waits for a pipe's reader is made whole or not at all.
void LetOutputWriteEnd() {
    ending = true;
    pid_t self = static_cast<pid_t>(gettid());
    timespec millisecond = {0, 1000000};
    for (int i = 0; i < kWriteWaitMilliseconds; ++i) {
        pid_t writer = outputWriter.load();
        if (writer == 0 || writer == self) return;
        nanosleep(&millisecond, nullptr);
    }
}

void OnEndingSignal(int number) {
    if (signalsDeferred) {
        // The loop ends on it; the deadline ends the process should the X server keep the loop
        // or the shutdown waiting.
        pendingSignal = number;
        ArmDeadline(128 + number);
        return;
    }
    LetOutputWriteEnd();
    RemoveTempFile();
    EndProgress();
    _exit(128 + number);
}

void NoteInheritedIgnores() {
    static bool noted = false;
    if (noted) return;
    noted = true;
    for (int number : kEndingSignals) {
        struct sigaction current = {};
        inheritedIgnore[number] =
            sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
    }
}

// Also puts back an inherited ignore over the graphics library's own handlers.
void SetHandlers() {
    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    for (int number : kEndingSignals) {
        if (number == SIGALRM && deadlineStatus >= 0) continue;  // the deadline's own
        action.sa_handler = inheritedIgnore[number] ? SIG_IGN : OnEndingSignal;
        sigaction(number, &action, nullptr);
    }
}

sigset_t EndingSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : kEndingSignals) sigaddset(&set, number);
    return set;
}

// The watcher: a thread that reads the held ending signals from a signalfd while the graphics
// library starts, and a wake-up descriptor that releases it at once.
pthread_t watcher;
int signalFd = -1;
int releaseFd = -1;

// Ends the process cleanly on an ending signal held from the other threads; returns when
// releaseFd is written.
void* WatchEndingSignals(void*) {
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {releaseFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return nullptr;
        }
        signalfd_siginfo info;
        if (!(fds[0].revents & POLLIN) || read(signalFd, &info, sizeof info) != sizeof info)
            return nullptr;
        // Held, one ignored at the start still comes here: it stays ignored.
        if (info.ssi_signo < NSIG && inheritedIgnore[info.ssi_signo]) continue;
        RemoveTempFile();
        _exit(128 + static_cast<int>(info.ssi_signo));
    }
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

void TakenEndingSignals(sigset_t* set) {
    sigemptyset(set);
    for (int number : kEndingSignals)
        if (!inheritedIgnore[number]) sigaddset(set, number);
}

void InstallSignalHandlers() {
    signalsDeferred = 0;
    NoteInheritedIgnores();
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

void StartThreadsWithoutSignals(const std::function<void()>& start) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    start();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

bool WithEndingSignalsHeld(const std::function<bool()>& step) {
    sigset_t set = EndingSignalSet(), previous;
    pthread_sigmask(SIG_BLOCK, &set, &previous);
    bool done = step();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return done;
}

void BeginOutputWrite() {
    outputWriter = static_cast<pid_t>(gettid());
    if (!ending) return;
    outputWriter = 0;
    for (;;) pause();  // the process is ending: the handler's _exit ends this thread too
}

void EndOutputWrite() {
    outputWriter = 0;
}

unsigned Cores() {
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof cores, &cores) == 0) return CPU_COUNT(&cores);
    return std::max(1u, std::thread::hardware_concurrency());
}

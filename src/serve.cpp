// The explorer's HTTP side: where it listens, the token and the Host a request must carry, the
// limits a request is read with, and the routes to the pages and the data's answers.
#include "serve.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

#include "charttypes.h"
#include "number.h"
#include "progress.h"
#include "servedata.h"
#include "settings.h"
#include "signals.h"
#include "tempfiles.h"
#include "text.h"
#include "webassets.h"

namespace {
using Clock = std::chrono::steady_clock;

constexpr auto kRequestTime = std::chrono::seconds(10);  // to send a whole request
constexpr auto kWriteTime = std::chrono::seconds(10);    // a reader may stall a write this long
constexpr auto kAnswerTime = std::chrono::seconds(120);  // an answer, however long, at most
constexpr std::size_t kHeaderLimit = 16384;              // bytes of a request's head, at most
constexpr std::size_t kWaitingLimit = 512;  // connections waiting for their request, at most
constexpr int kWorkers = 8;                 // requests answered at once
constexpr int kMaxWidth = 10000;            // columns of a series answer
constexpr int kEndSeconds = 2;              // the longest wait for answers under way at the end

// A connection as httplib reads and writes it: the bytes of its request already received, then
// the socket, each read within what is left of the time to send the request, each write within
// kWriteTime.
class Connection : public httplib::Stream {
  public:
    Connection(int fd, std::string received, Clock::time_point deadline)
        : fd(fd),
          received(std::move(received)),
          deadline(deadline),
          answerDeadline(Clock::now() + kAnswerTime) {}
    bool is_readable() const override { return at < received.size() || Ready(POLLIN, deadline); }
    // A reader that stalls, or takes a byte now and then, holds a worker no longer than this.
    bool is_writable() const override {
        return Ready(POLLOUT, std::min(Clock::now() + kWriteTime, answerDeadline));
    }
    ssize_t read(char* bytes, size_t size) override {
        // A request is its head alone: nothing past the limit is read, so that a head of
        // endless headers is refused at the limit, not read for as long as the time allows.
        if (at >= kHeaderLimit) return 0;
        size = std::min(size, kHeaderLimit - at);
        if (at < received.size()) {
            std::size_t n = std::min(size, received.size() - at);
            std::memcpy(bytes, received.data() + at, n);
            at += n;
            return static_cast<ssize_t>(n);
        }
        if (!Ready(POLLIN, deadline)) return -1;
        for (;;) {
            ssize_t got = recv(fd, bytes, size, 0);
            if (got > 0) at += static_cast<std::size_t>(got);
            if (got >= 0 || errno != EINTR) return got;
        }
    }
    ssize_t write(const char* bytes, size_t size) override {
        if (!is_writable()) return -1;
        for (;;) {
            ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
            if (sent >= 0 || errno != EINTR) return sent;
        }
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        Address(getpeername, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        Address(getsockname, ip, port);
    }
    socket_t socket() const override { return fd; }

  private:
    bool Ready(short events, Clock::time_point until) const {
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            if (left.count() <= 0) return false;
            pollfd wait = {fd, events, 0};
            int ready = poll(&wait, 1, static_cast<int>(left.count()));
            if (ready > 0) return (wait.revents & (events | POLLHUP | POLLERR)) != 0;
            if (ready == 0 || errno != EINTR) return false;
        }
    }
    template <typename Name>
    void Address(Name name, std::string& ip, int& port) const {
        sockaddr_storage address = {};
        socklen_t length = sizeof address;
        char text[INET6_ADDRSTRLEN] = "";
        port = 0;
        if (name(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
        if (address.ss_family == AF_INET) {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
            inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
            port = ntohs(v4->sin_port);
        } else if (address.ss_family == AF_INET6) {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
            inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
            port = ntohs(v6->sin6_port);
        }
        ip = text;
    }

    int fd;
    std::string received;
    std::size_t at = 0;  // bytes of the request read so far
    Clock::time_point deadline, answerDeadline;
};

// A connection accepted whose request has not yet come whole.
struct Waiting {
    int fd = -1;
    std::string received;
    Clock::time_point deadline;
};

// The answers as JSON refusals, files streamed, and the headers every answer carries.
void Give(httplib::Response& res, Answer answer) {
    res.status = answer.status;
    if (answer.file.empty()) {
        res.set_content(answer.body, answer.type.c_str());
        return;
    }
    int fd = open(answer.file.c_str(), O_RDONLY | O_CLOEXEC);
    off_t size = fd >= 0 ? lseek(fd, 0, SEEK_END) : -1;
    if (size < 0) {
        if (fd >= 0) close(fd);
        RemoveRegisteredFile(answer.file);
        Give(res, Refusal(500, "the answer's file was lost"));
        return;
    }
    std::string path = answer.file;
    res.set_content_provider(
        static_cast<std::size_t>(size), answer.type,
        [fd](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            char bytes[65536];
            ssize_t got =
                pread(fd, bytes, std::min(length, sizeof bytes), static_cast<off_t>(offset));
            return got > 0 && sink.write(bytes, static_cast<std::size_t>(got));
        },
        [fd, path](bool) {
            close(fd);
            RemoveRegisteredFile(path);
        });
}

// A run's number as the path gives it: digits, no leading zero; none for anything else.
std::optional<int> RunNumber(const std::string& text) {
    if (text.empty() || text.size() > 9 || text[0] == '0' ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoi(text);
}

// A time as --at takes it: a finite decimal number, the whole text.
std::optional<double> Seconds(const std::string& text) {
    if (text.empty() || text.find_first_of("xXiInN") != std::string::npos) return std::nullopt;
    char* end = nullptr;
    double seconds = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(seconds)) return std::nullopt;
    return seconds;
}

// The request's stretch, x and chart types; false with the refusal in `refusal`.
bool ReadView(const httplib::Request& req, SaveQuery* view, Answer* refusal) {
    for (const char* name : {"at", "to"}) {
        if (!req.has_param(name)) continue;
        std::optional<double> seconds = Seconds(req.get_param_value(name));
        if (!seconds) {
            *refusal = Refusal(400, std::string(name) + " takes a time in seconds, not '" +
                                        Printable(req.get_param_value(name)) + "'");
            return false;
        }
        (name[0] == 'a' ? view->at : view->to) = seconds;
    }
    if (view->at && view->to && *view->to < *view->at) {
        *refusal = Refusal(
            400, "to " + ExactText(*view->to) + " is earlier than at " + ExactText(*view->at));
        return false;
    }
    std::string x = req.has_param("x") ? req.get_param_value("x") : "time";
    if (x != "time" && x != "distance") {
        *refusal = Refusal(400, "x takes time or distance, not '" + Printable(x) + "'");
        return false;
    }
    view->distance = x == "distance";
    std::string charts = req.get_param_value("charts");
    if (charts.empty()) {
        *refusal = Refusal(400, "charts names the chart types, as charts=velocity,brake-pressure");
        return false;
    }
    std::vector<std::string> names = SplitAt(charts, ',');
    if (names.size() > kMaxCharts) {
        *refusal = Refusal(400, "charts names at most " + std::to_string(kMaxCharts) +
                                    " chart types, not " + std::to_string(names.size()));
        return false;
    }
    for (const std::string& name : names) {
        const std::vector<Channel>& served = ServedChannels();
        std::vector<Channel> named = ChannelsNamed(name);
        auto at =
            named.size() == 1 ? std::find(served.begin(), served.end(), named[0]) : served.end();
        if (at == served.end()) {
            *refusal = Refusal(400, "no chart type '" + Printable(name) + "'");
            return false;
        }
        view->charts.push_back(static_cast<std::size_t>(at - served.begin()));
    }
    return true;
}

// Answers the API's requests under /api/runs.
Answer Api(ServedRuns& runs, const httplib::Request& req, const std::vector<std::string>& parts) {
    // parts: "", "api", "runs"|"runs.csv", ID, what
    if (parts.size() == 3) {
        if (parts[2] == "runs" || parts[2] == "runs.csv") return runs.Runs(parts[2] != "runs");
        return Refusal(404, "no such page");
    }
    if (parts.size() != 5 || parts[2] != "runs") return Refusal(404, "no such page");
    std::optional<int> id = RunNumber(parts[3]);
    if (!id) return Refusal(400, "'" + Printable(parts[3]) + "' is not a run number");
    if (*id > runs.size()) return Refusal(404, "no run " + parts[3]);
    const std::string& what = parts[4];
    if (what == "brakings" || what == "brakings.csv") return runs.Brakings(*id, what != "brakings");
    if (what == "sample") {
        std::optional<double> at = Seconds(req.get_param_value("at"));
        if (!at) return Refusal(400, "at takes a time in seconds");
        return runs.Sample(*id, *at);
    }
    SaveQuery view;
    Answer refusal;
    if (what != "series" && what != "plot.png" && what != "plot.svg" && what != "plot.pdf" &&
        what != "export.csv")
        return Refusal(404, "no such page");
    if (!ReadView(req, &view, &refusal)) return refusal;
    if (what == "series") {
        std::string width = req.has_param("width") ? req.get_param_value("width") : "1000";
        std::optional<int> columns = RunNumber(width);
        if (!columns || *columns > kMaxWidth)
            return Refusal(400, "width takes a number of columns from 1 to 10000, not '" +
                                    Printable(width) + "'");
        return runs.Series(*id, {view.charts, view.at, view.to, *columns, view.distance});
    }
    if (what == "export.csv") return runs.Export(*id, view);
    if (req.has_param("compare")) {
        std::vector<std::string> compared = SplitAt(req.get_param_value("compare"), ':');
        std::optional<int> other = RunNumber(compared[0]);
        std::optional<int> braking = compared.size() == 2 ? RunNumber(compared[1]) : std::nullopt;
        if (!other || !braking)
            return Refusal(400, "compare takes RUN:BRAKING, not '" +
                                    Printable(req.get_param_value("compare")) + "'");
        view.compare = std::make_pair(*other, *braking);
    }
    return runs.Plot(*id, what.substr(5), view);
}

// Whether `path` is one of the page's own: / or /run/N.
bool IsPage(const std::vector<std::string>& parts) {
    if (parts.size() == 2 && parts[1].empty()) return true;
    bool run = (parts.size() == 3 || (parts.size() == 4 && parts[3].empty())) && parts[1] == "run";
    return run && RunNumber(parts[2]).has_value();
}

// Routes a request that passed the guard.
void Route(ServedRuns& runs, const Guard& guard, const httplib::Request& req,
           httplib::Response& res) {
    std::vector<std::string> parts = SplitAt(req.path, '/');
    if (IsPage(parts)) {
        if (req.has_param("token"))  // the page drops it from its address; the cookie stays
            res.set_header("Set-Cookie", guard.CookieName() + "=" + guard.token +
                                             "; Path=/; HttpOnly; SameSite=Strict");
        const WebAsset* page = FindWebAsset("/assets/index.html");
        res.set_content(reinterpret_cast<const char*>(page->data), page->size, page->contentType);
        return;
    }
    if (parts.size() >= 2 && parts[1] == "assets") {
        if (const WebAsset* asset = FindWebAsset(req.path)) {
            res.set_content(reinterpret_cast<const char*>(asset->data), asset->size,
                            asset->contentType);
            return;
        }
        Give(res, Refusal(404, "no such page"));
        return;
    }
    if (parts.size() >= 3 && parts[1] == "api") {
        Give(res, Api(runs, req, parts));
        return;
    }
    Give(res, Refusal(404, "no such page"));
}

// The Cookie header's value of `name`, or "".
std::string CookieValue(const std::string& header, const std::string& name) {
    for (std::string part : SplitAt(header, ';')) {
        std::size_t start = part.find_first_not_of(' ');
        if (start == std::string::npos) continue;
        part = part.substr(start);
        if (part.compare(0, name.size() + 1, name + "=") == 0) return part.substr(name.size() + 1);
    }
    return "";
}

// The server: connections accepted here, read until their request's head is whole (or the time
// to send it is up), then answered by a pool of workers through httplib's request handling.
class Explorer : public httplib::Server {
  public:
    Explorer(ServedRuns& runs, Guard guard, int listener) : runs(runs), guard(std::move(guard)) {
        // httplib streams a file's answer while its own listening socket is open: this one is.
        svr_sock_ = listener;
        set_payload_max_length(0);  // a request carries no body
        set_default_headers(
            {{"Cache-Control", "no-store"},
             {"X-Content-Type-Options", "nosniff"},
             {"Referrer-Policy", "no-referrer"},
             {"Content-Security-Policy",
              "default-src 'self'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; "
              "object-src 'none'; "
              "base-uri 'none'; frame-ancestors 'none'; form-action 'none'"}});
        set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
            Guarded(req, res);
            return HandlerResponse::Handled;
        });
        set_error_handler(HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            // httplib's own refusals (a head too long, a body) as JSON; a 403 stays bare.
            if (res.body.empty() && res.status != 403)
                Give(res, Refusal(res.status,
                                  "the request was refused (" + std::to_string(res.status) + ")"));
            return HandlerResponse::Handled;
        }));
    }

    // Ends the answers streaming files.
    void Stop() { svr_sock_ = INVALID_SOCKET; }

    // Answers the one request on `waiting`, then closes it.
    void Respond(Waiting waiting) {
        Connection connection(waiting.fd, std::move(waiting.received), waiting.deadline);
        bool closed = false;
        // Every answer is whole: httplib's ranges answer 200 with a part, and a range past the
        // end with a length below zero.
        process_request(connection, true, closed,
                        [](httplib::Request& req) { req.ranges.clear(); });
        close(waiting.fd);
    }

  private:
    void Guarded(const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value_count("Host") != 1 ||
            !guard.HostAllowed(req.get_header_value("Host")) ||
            !guard.TokenGiven(req.get_param_value("token"), req.get_header_value("Cookie"),
                              req.get_header_value("Authorization"))) {
            res.status = 403;
            return;
        }
        if (req.method != "GET" && req.method != "HEAD") {
            Give(res, Refusal(405, "only GET and HEAD are answered"));
            res.set_header("Allow", "GET, HEAD");
            return;
        }
        Route(runs, guard, req, res);
    }

    ServedRuns& runs;
    Guard guard;
};

// A numeric address as its bytes (4 for IPv4, 16 for IPv6); empty when `text` is none. An IPv6
// one is written in brackets when `bracketed`, as a Host header writes it.
std::string AddressBytes(const std::string& text, bool bracketed) {
    unsigned char bytes[sizeof(in6_addr)];
    if (bracketed && text.size() > 2 && text.front() == '[' && text.back() == ']')
        return inet_pton(AF_INET6, text.substr(1, text.size() - 2).c_str(), bytes) == 1
                   ? std::string(reinterpret_cast<char*>(bytes), 16)
                   : "";
    if (inet_pton(AF_INET, text.c_str(), bytes) == 1)
        return std::string(reinterpret_cast<char*>(bytes), 4);
    if (!bracketed && inet_pton(AF_INET6, text.c_str(), bytes) == 1)
        return std::string(reinterpret_cast<char*>(bytes), 16);
    return "";
}

// Whether the address `bytes` (as AddressBytes gives them) is this machine's loopback: 127/8,
// ::1, or 127/8 mapped into IPv6.
bool IsLoopback(const std::string& bytes) {
    if (bytes.size() == 4) return bytes[0] == 127;
    const std::string mapped = std::string(10, '\0') + "\xff\xff";
    return bytes == std::string(15, '\0') + "\x01" ||
           (bytes.compare(0, 12, mapped) == 0 && bytes[12] == 127);
}

// The address as the system writes it back: lowercase, zeros compressed.
std::string CanonicalAddress(const std::string& text) {
    std::string bytes = AddressBytes(text, false);
    char written[INET6_ADDRSTRLEN] = "";
    if (bytes.empty() || inet_ntop(bytes.size() == 4 ? AF_INET : AF_INET6, bytes.data(), written,
                                   sizeof written) == nullptr)
        return text;
    return written;
}

// Opens the socket the explorer listens on: the port asked for, or the first free one from
// kServePort to kServeLastPort. False with errno set.
int Listen(const std::string& bind, int port, bool tryNext, int* bound) {
    bool v6 = bind.find(':') != std::string::npos;
    for (int tried = port;; ++tried) {
        int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) return -1;
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_storage address = {};
        socklen_t length;
        if (v6) {
            auto* a = reinterpret_cast<sockaddr_in6*>(&address);
            a->sin6_family = AF_INET6;
            a->sin6_port = htons(static_cast<std::uint16_t>(tried));
            inet_pton(AF_INET6, bind.c_str(), &a->sin6_addr);
            length = sizeof *a;
        } else {
            auto* a = reinterpret_cast<sockaddr_in*>(&address);
            a->sin_family = AF_INET;
            a->sin_port = htons(static_cast<std::uint16_t>(tried));
            inet_pton(AF_INET, bind.c_str(), &a->sin_addr);
            length = sizeof *a;
        }
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            listen(fd, 128) == 0) {
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
            *bound = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                              : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
            return fd;
        }
        int saved = errno;
        close(fd);
        errno = saved;
        if (!tryNext || errno != EADDRINUSE || tried >= kServeLastPort) return -1;
    }
}

// The requests whose head has come, waiting for a worker.
class Queue {
  public:
    void Put(Waiting waiting) {
        std::lock_guard<std::mutex> lock(mutex);
        items.push_back(std::move(waiting));
        ready.notify_one();
    }
    // The next request, or none once closed.
    bool Take(Waiting* waiting) {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [&] { return closed || !items.empty(); });
        if (items.empty()) return false;
        *waiting = std::move(items.front());
        items.pop_front();
        return true;
    }
    void Close() {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
        for (Waiting& waiting : items) close(waiting.fd);
        items.clear();
        ready.notify_all();
    }

  private:
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Waiting> items;
    bool closed = false;
};

// Reads what a waiting connection sent; true once its head is whole (or too long, for httplib to
// refuse), false while more is to come. `gone` when the client closed or failed.
bool ReadHead(Waiting& waiting, bool* gone) {
    char bytes[4096];
    for (;;) {
        ssize_t got = recv(waiting.fd, bytes, sizeof bytes, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
        if (got <= 0) {
            *gone = true;
            return false;
        }
        waiting.received.append(bytes, static_cast<std::size_t>(got));
        if (waiting.received.find("\r\n\r\n") != std::string::npos ||
            waiting.received.find("\n\n") != std::string::npos ||
            waiting.received.size() >= kHeaderLimit)
            return true;
    }
}

// Accepts connections and holds each until its request's head has come, then queues it; a
// connection that sends nothing, or too little, is closed when its time is up. Returns when `wake`
// becomes readable.
void Accept(int listener, int wake, Queue& queue) {
    std::vector<Waiting> waiting;
    // While the process has no descriptor left, a connection cannot be taken and the listener
    // stays readable: it is left alone a moment, not polled again at once for ever.
    Clock::time_point resume;
    for (;;) {
        bool accepting = Clock::now() >= resume;
        std::vector<pollfd> fds = {{wake, POLLIN, 0},
                                   {listener, static_cast<short>(accepting ? POLLIN : 0), 0}};
        for (const Waiting& each : waiting) fds.push_back({each.fd, POLLIN, 0});
        int timeout = !accepting ? 100 : waiting.empty() ? -1 : 250;
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return;
        if (fds[0].revents != 0) {
            for (Waiting& each : waiting) close(each.fd);
            return;
        }
        auto now = Clock::now();
        std::vector<Waiting> still;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            Waiting& each = waiting[i];
            bool gone = false;
            if ((fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR)) && ReadHead(each, &gone))
                queue.Put(std::move(each));
            else if (gone || now >= each.deadline)
                close(each.fd);
            else
                still.push_back(std::move(each));
        }
        waiting = std::move(still);
        if (fds[1].revents & POLLIN) {
            for (int fd; (fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                if (waiting.size() >= kWaitingLimit) {  // the oldest waits no more
                    close(waiting.front().fd);
                    waiting.erase(waiting.begin());
                }
                waiting.push_back({fd, "", now + kRequestTime});
            }
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                resume = now + std::chrono::milliseconds(100);
        }
    }
}

// Waits for an ending signal (held from every thread) and writes it to `wake`; returns without
// one once `done`. One ignored when plovo started is not waited for: it stays ignored (nohup).
void WatchSignals(int wake, const std::atomic<bool>& done, std::atomic<int>* caught) {
    sigset_t set;
    TakenEndingSignals(&set);
    const timespec quarter = {0, 250000000};
    int number;
    while ((number = sigtimedwait(&set, nullptr, &quarter)) < 0)
        if (done) return;
    *caught = number;
    char byte = 1;
    (void)!::write(wake, &byte, 1);
}

// What every file descriptor limit allows: each log followed keeps its file open.
void RaiseFileLimit() {
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}
}  // namespace

std::string Guard::CookieName() const {
    // A cookie is the host's, whatever the port: two explorers must not take each other's.
    return "plovo_token_" + std::to_string(port);
}

bool Guard::HostAllowed(const std::string& host) const {
    const std::string suffix = ":" + std::to_string(port);
    if (host.size() <= suffix.size() ||
        host.compare(host.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    std::string name = LowercaseAscii(host.substr(0, host.size() - suffix.size()));
    if (name == "localhost") return true;
    // Addresses compared as addresses, however written ([::1], [0:0::1]). Listening on every
    // address, any address of the machine may be the one a client reached it by; a name is
    // refused still, since a page of another site can point one at this machine.
    std::string named = AddressBytes(name, true), listened = AddressBytes(bind, false);
    if (named.empty()) return false;
    return named == listened || listened.find_first_not_of('\0') == std::string::npos;
}

bool Guard::TokenGiven(const std::string& query, const std::string& cookie,
                       const std::string& authorization) const {
    // Compared in a time that does not tell how much of a guess was right.
    auto same = [&](const std::string& given) {
        if (given.size() != token.size()) return false;
        unsigned char differ = 0;
        for (std::size_t i = 0; i < token.size(); ++i) differ |= given[i] ^ token[i];
        return differ == 0;
    };
    const std::string scheme = "token ";
    bool authorized = authorization.compare(0, scheme.size(), scheme) == 0 &&
                      same(authorization.substr(scheme.size()));
    return same(query) || same(CookieValue(cookie, CookieName())) || authorized;
}

bool NewToken(std::string* token, std::string* err) {
    unsigned char bytes[16];
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        return Refuse(err,
                      std::string("plovo: no randomness for the token: ") + std::strerror(errno));
    static const char digits[] = "0123456789abcdef";
    token->clear();
    for (unsigned char byte : bytes) *token += {digits[byte >> 4], digits[byte & 15]};
    return true;
}

bool Serve(const ServeRequest& request, const BrakingRule& rule, int* status, std::string* err) {
    Guard guard;
    guard.bind = CanonicalAddress(request.bind);
    if (!NewToken(&guard.token, err)) return false;
    int listener =
        Listen(request.bind, request.port.value_or(kServePort), !request.port, &guard.port);
    if (listener < 0)
        return Refuse(err, "plovo: cannot listen on " + request.bind + ":" +
                               std::to_string(request.port.value_or(kServePort)) + ": " +
                               std::strerror(errno));
    std::vector<std::string> problems;
    std::vector<std::string> logs = ServedLogs(request.paths, &problems);
    for (const std::string& problem : problems) std::cerr << problem << std::endl;
    SilenceProgress();
    RaiseFileLimit();
    // Every thread holds the ending signals; one waits for them, to end the serving in order.
    sigset_t ending;
    TakenEndingSignals(&ending);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    int wake[2];
    if (pipe2(wake, O_CLOEXEC) != 0)
        return Refuse(err, std::string("plovo: ") + std::strerror(errno));
    std::atomic<int> caught{0};
    std::atomic<bool> watched{false};
    std::thread watcher(WatchSignals, wake[1], std::cref(watched), &caught);

    auto say = [](const std::string& line) { std::cerr << line << std::endl; };
    ServedRuns runs(logs, rule, say);
    Explorer explorer(runs, guard, listener);
    std::string host =
        guard.bind.find(':') != std::string::npos ? "[" + guard.bind + "]" : guard.bind;
    std::cerr << "plovo: serving " << logs.size() << (logs.size() == 1 ? " run" : " runs")
              << " at http://" << host << ":" << guard.port << "/?token=" << guard.token
              << std::endl;
    if (!IsLoopback(AddressBytes(guard.bind, false)))
        std::cerr << "plovo: listening on " << guard.bind
                  << ", beyond this machine: the token is then the only lock" << std::endl;
    runs.Start();
    Queue queue;
    std::vector<std::thread> workers;
    for (int i = 0; i < kWorkers; ++i)
        workers.emplace_back([&] {
            for (Waiting waiting; queue.Take(&waiting);) explorer.Respond(std::move(waiting));
        });
    Accept(listener, wake[0], queue);
    explorer.Stop();
    close(listener);
    queue.Close();
    watched = true;  // without a signal caught, it waits no more
    // Answers under way may take a moment; a reader that stalls one does not hold the end.
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
    // Interrupted: 0; another ending signal: 128 + it; none (the acceptor failed): 1.
    int ended = caught;
    int code = ended == SIGINT || ended == SIGTERM ? 0 : ended == 0 ? 1 : 128 + ended;
    EndWithin(code);
    for (std::thread& worker : workers) worker.join();
    watcher.join();
    close(wake[0]);
    close(wake[1]);
    *status = code;
    return true;
}

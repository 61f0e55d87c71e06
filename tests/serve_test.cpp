// The explorer: its API against the batch outputs' own answers, its door against clients without
// the token, with another Host, with paths and numbers that are not the API's, and silent ones.
#include "serve.h"

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cmath>
#include <regex>
#include <sstream>
#include <thread>

#include "number.h"
#include "process_util.h"
#include "text.h"

TEST(ServeGuard, TheHostMustBeTheAddressAndThePortAndTheTokenExact) {
    Guard guard{"0123456789abcdef0123456789abcdef", "127.0.0.1", 8823};
    for (const char* host : {"127.0.0.1:8823", "localhost:8823", "LocalHost:8823"})
        EXPECT_TRUE(guard.HostAllowed(host)) << host;
    for (const char* host : {"127.0.0.1", "127.0.0.1:8824", "evil.example:8823", "", ":8823",
                             "127.0.0.1:88230", "127.0.0.2:8823"})
        EXPECT_FALSE(guard.HostAllowed(host)) << host;
    Guard v6{guard.token, "::1", 9000};
    EXPECT_TRUE(v6.HostAllowed("[::1]:9000"));
    EXPECT_FALSE(v6.HostAllowed("::1:9000"));

    const std::string& token = guard.token;
    EXPECT_TRUE(guard.TokenGiven(token, "", ""));
    EXPECT_TRUE(guard.TokenGiven("", "a=b; plovo_token_8823=" + token + "; c=d", ""));
    EXPECT_TRUE(guard.TokenGiven("", "", "token " + token));
    EXPECT_FALSE(guard.TokenGiven("", "plovo_token_8824=" + token, ""));  // another explorer's
    EXPECT_FALSE(guard.TokenGiven(token.substr(1), "", ""));
    EXPECT_FALSE(guard.TokenGiven(token + "0", "", ""));
    EXPECT_FALSE(guard.TokenGiven("", "", "Bearer " + token));
    EXPECT_FALSE(guard.TokenGiven("", "", ""));
    std::string a, b, err;
    ASSERT_TRUE(NewToken(&a, &err) && NewToken(&b, &err));
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, b);
}

TEST(ServeGuard, TheHostIsComparedAsAnAddressAndAWildcardTakesAnyAddress) {
    const std::string token(32, '0');
    // However the address listened on was written, the browser writes it its own way.
    EXPECT_TRUE((Guard{token, "0:0:0:0:0:0:0:1", 9000}.HostAllowed("[::1]:9000")));
    EXPECT_TRUE((Guard{token, "::FFFF:127.0.0.1", 9000}.HostAllowed("[::ffff:7f00:1]:9000")));
    EXPECT_FALSE((Guard{token, "::1", 9000}.HostAllowed("[::2]:9000")));
    // On every address, any address of the machine; a name is still another site's.
    Guard any{token, "0.0.0.0", 9000};
    EXPECT_TRUE(any.HostAllowed("192.0.2.7:9000") && any.HostAllowed("[fd00::2]:9000"));
    for (const char* host : {"evil.example:9000", "192.0.2.7:9001", "192.0.2.7", "1.2.3:9000"})
        EXPECT_FALSE(any.HostAllowed(host)) << host;
}

namespace {
// An explorer started on logs, at a port of its choosing, and what talks to it.
class Explorer : public Tables {
  protected:
    // `wrapper` (prlimit, say) runs it when given.
    void StartServing(std::vector<std::string> logs, std::vector<std::string> wrapper = {}) {
        errors = work.File("serve.err");
        std::vector<std::string> args = {wrapper.empty() ? work.File("plovo") : PLOVO_BINARY,
                                         "--serve", "--port", "0"};
        args.insert(args.end(), logs.begin(), logs.end());
        args.insert(args.begin(), wrapper.begin(), wrapper.end());
        int error = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        pid = Spawn(wrapper.empty() ? PLOVO_BINARY : wrapper[0], args,
                    Environment({}, {"TMPDIR=" + served.path}), -1, -1, error);
        close(error);
        std::smatch match;
        std::regex line("serving [0-9]+ runs? at http://127.0.0.1:([0-9]+)/\\?token=([0-9a-f]+)");
        for (int i = 0; i < 500; ++i, usleep(10000)) {
            std::string said = ReadFile(errors);
            if (!std::regex_search(said, match, line)) continue;
            port = std::stoi(match[1]);
            token = match[2];
            return;
        }
        FAIL() << "the explorer said no address: " << ReadFile(errors);
    }
    // Ends the explorer with `signal`; its exit status.
    int StopServing(int signal = SIGTERM) {
        kill(pid, signal);
        int status;
        waitpid(pid, &status, 0);
        pid = -1;
        return ExitStatus(status);
    }
    void TearDown() override {
        if (pid > 0) StopServing(SIGKILL);
        Tables::TearDown();
    }
    // GET `path` with the token: {status, body}.
    std::pair<int, std::string> Get(const std::string& path,
                                    httplib::Headers headers = {{"Authorization", ""}}) {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(20, 0);
        if (headers.count("Authorization") && headers.find("Authorization")->second.empty()) {
            headers.find("Authorization")->second = "token " + token;
        }
        auto answer = client.Get(path.c_str(), headers);
        if (!answer) return {-1, ""};
        return {answer->status, answer->body};
    }
    // The answer once a run's summary is done.
    std::string Summarised(const std::string& path) {
        for (int i = 0; i < 500; ++i, usleep(10000)) {
            auto [status, body] = Get(path);
            if (status == 200) return body;
        }
        return "";
    }
    // What a batch run of plovo prints on standard output.
    std::string Printed(const std::vector<std::string>& args) { return Run(args).output; }

    pid_t pid = -1;
    int port = 0;
    std::string token, errors;
    ScratchDir served;  // the explorer's $TMPDIR, apart from the batch runs' that Run checks
};

// The numbers of a JSON array in a body, after "name":[ , as written.
std::vector<std::string> JsonArray(const std::string& body, const std::string& name) {
    std::size_t at = body.find("\"" + name + "\":[");
    if (at == std::string::npos) return {};
    std::size_t from = at + name.size() + 4, to = body.find(']', from);
    std::vector<std::string> numbers;
    std::string text = body.substr(from, to - from);
    for (std::size_t start = 0, comma; start < text.size(); start = comma + 1) {
        comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        numbers.push_back(text.substr(start, comma - start));
    }
    return numbers;
}
}  // namespace

TEST_F(Explorer, AnswersAsTheBatchOutputsAnswer) {
    WriteIni("");
    std::string sample = std::string(PLOVO_SOURCE_DIR) + "/examples/sample.dat";
    std::string varied = VariedLog("varied, \"run\".dat", 3, 3000);
    StartServing({sample, varied, work.File("missing.dat")});
    // The tables: byte for byte what --summary - and --brakings - write.
    EXPECT_EQ(Get("/api/runs.csv").second, Printed({"--summary", "-", sample, varied}));
    EXPECT_EQ(Summarised("/api/runs/2/brakings.csv"), Printed({"--brakings", "-", varied}));
    std::string runs = Get("/api/runs").second;
    EXPECT_NE(runs.find("{\"id\":1,\"log\":\"" + sample +
                        "\",\"readable\":true,\"state\":\"live\","
                        "\"samples\":4000,\"start_s\":0,\"end_s\":399.9,"),
              std::string::npos)
        << runs;
    EXPECT_NE(runs.find("\"id\":3,\"log\":\"" + work.File("missing.dat") +
                        "\",\"readable\":false,\"error\":"),
              std::string::npos);
    // A log that cannot be read is not there for any answer, saved ones too.
    for (const char* path :
         {"/api/runs/3/brakings", "/api/runs/3/series?charts=velocity",
          "/api/runs/3/plot.png?charts=velocity", "/api/runs/3/export.csv?charts=velocity",
          "/api/runs/1/plot.svg?charts=velocity&compare=3:1"})
        EXPECT_EQ(Get(path).first, 404) << path;
    std::string brakings = Get("/api/runs/1/brakings").second;
    EXPECT_EQ(brakings.rfind("[{\"log\":\"" + sample + "\",\"braking\":1,\"start_s\":281.4,", 0),
              0u)
        << brakings;

    // A stretch of at most 2W samples: every sample, as --export writes it.
    std::string csv = Printed({"--export", "-", "--at", "280", "--to", "290", sample,
                               "velocity,brake-pressure,distance"});
    std::string series = Get("/api/runs/1/series?charts=velocity,brake-pressure,distance&at=280"
                             "&to=290&width=60")
                             .second;
    ASSERT_EQ(series.rfind("{\"form\":\"samples\"", 0), 0u) << series;
    std::vector<std::string> time = JsonArray(series, "time"), v = JsonArray(series, "velocity"),
                             p = JsonArray(series, "brake-pressure"),
                             d = JsonArray(series, "distance");
    std::string rows = "time,velocity,brake-pressure,distance\n";
    for (std::size_t i = 0; i < time.size(); ++i)
        rows += time[i] + "," + v[i] + "," + p[i] + "," + d[i] + "\n";
    EXPECT_EQ(rows, csv);
    EXPECT_EQ(time.size(), 101u);

    // The sample under a cursor: the export's row of the first sample at that time or later,
    // every chart type's, those the series read and those read for the sample alike.
    std::string names =
        "time,velocity,acceleration,coupler-distance,coupler-force,traction-force,"
        "friction-force,brake-force,brake-pressure,pipe-pressure,motor-current,"
        "distance,traction-power,traction-energy";
    std::string row = Printed({"--export", "-", "--at", "280.05", "--to", "280.1", sample, names});
    row = row.substr(row.find('\n') + 1);
    std::vector<std::string> charts = SplitAt(names, ','),
                             values = SplitAt(row.substr(0, row.size() - 1), ',');
    std::string expected = "{\"sample\":2802,\"time\":" + values[0] + ",\"values\":{";
    for (std::size_t c = 0; c < charts.size(); ++c)
        expected += (c ? ",\"" : "\"") + charts[c] + "\":" + values[c + 1];
    EXPECT_EQ(Get("/api/runs/1/sample?at=280.05").second, expected + "}}");
    EXPECT_EQ(Get("/api/runs/1/sample?at=1000").first, 404);
    // A saved plot is the batch's plot of that stretch.
    std::string plot = work.File("batch.png");
    ASSERT_EQ(Run({"--plot", plot, "--at", "280", "--to", "330", sample, "velocity"}).status, 0);
    EXPECT_TRUE(Get("/api/runs/1/plot.png?charts=velocity&at=280&to=330").second == ReadFile(plot));

    // Columns: each one's extremes recomputed from the whole run's export.
    std::string whole = Printed({"--export", "-", varied, "velocity"});
    std::vector<double> ts, vs;
    for (std::size_t from = whole.find('\n') + 1, lf;
         (lf = whole.find('\n', from)) != std::string::npos; from = lf + 1) {
        std::string row = whole.substr(from, lf - from);
        ts.push_back(std::atof(row.c_str()));
        vs.push_back(std::atof(row.c_str() + row.find(',') + 1));
    }
    const int width = 7;
    std::string columns = Get("/api/runs/2/series?charts=velocity&width=7").second;
    ASSERT_EQ(columns.rfind("{\"form\":\"columns\"", 0), 0u) << columns.substr(0, 80);
    std::vector<std::string> lo(width, "null"), hi(width, "null"), count(width, "0");
    std::vector<double> low(width, NAN), high(width, NAN);
    std::vector<int> counted(width, 0);
    for (std::size_t i = 0; i < ts.size(); ++i) {
        int c = std::clamp(
            static_cast<int>(std::floor((ts[i] - ts.front()) * width / (ts.back() - ts.front()))),
            0, width - 1);
        ++counted[c];
        if (std::isfinite(vs[i])) {
            if (!(low[c] <= vs[i])) low[c] = vs[i];
            if (!(high[c] >= vs[i])) high[c] = vs[i];
        }
    }
    for (int c = 0; c < width; ++c) {
        if (std::isfinite(low[c])) lo[c] = ExactText(low[c]), hi[c] = ExactText(high[c]);
        count[c] = std::to_string(counted[c]);
    }
    EXPECT_EQ(JsonArray(columns, "velocity"), lo);  // the first such array is min's
    EXPECT_EQ(JsonArray(columns.substr(columns.find("\"max\"")), "velocity"), hi);
    EXPECT_EQ(JsonArray(columns, "count"), count);
    EXPECT_EQ(StopServing(SIGTERM), 0);
    EXPECT_TRUE(served.Entries().empty());
}

TEST_F(Explorer, ASavedComparisonAlignsTheBrakingOfItsNumberWhereverItsTimeFallsAgain) {
    WriteIni("");
    // From 0 s, 0.1 s a sample: `speed` m/s, braked from 10 s at 2 m/s2 to a stop.
    auto run = [](double speed) {
        std::string lines;
        char time[32], velocity[32];
        for (int i = 0; i < 400; ++i) {
            double t = i / 10.0, v = t < 10 ? speed : std::max(0.0, speed - 2 * (t - 10));
            std::snprintf(time, sizeof time, "%.1f", t);
            std::snprintf(velocity, sizeof velocity, "%.4f", v);
            lines += Line({time, velocity, "0", "0", "0", "0", "0", "0", t < 10 ? "0" : "0.3"});
        }
        return lines;
    };
    // The other log's time starts again: its braking 2, at 10 s, is the first run's braking;
    // its braking 1, at 10 s too, from 40 m/s, is not.
    std::string log = work.File("one.dat"), other = work.File("again.dat");
    WriteFile(log, Header() + run(20));
    WriteFile(other, Header() + run(40) + run(20));
    StartServing({log, other});
    ASSERT_NE(Summarised("/api/runs/2/brakings.csv"), "");
    auto [status, png] =
        Get("/api/runs/1/plot.png?charts=velocity&at=5&to=30&x=distance"
            "&compare=2:2");
    ASSERT_EQ(status, 200) << png;
    WriteFile(work.File("p.png"), png);
    int orange = 0;
    for (std::uint32_t colour : PngColours(work.File("p.png"))) orange += colour == 0xd95e00;
    EXPECT_LT(orange, 150);  // the legend's line and name: the braking is drawn over its like
    EXPECT_EQ(StopServing(SIGTERM), 0);
}

TEST_F(Explorer, TheDoorOpensOnlyToTheTokenAndTheApisOwnPaths) {
    WriteIni("");
    StartServing({VariedLog("run.dat", 1, 500)});
    httplib::Headers none;
    EXPECT_EQ(Get("/api/runs", none), std::make_pair(403, std::string()));
    EXPECT_EQ(Get("/api/runs", {{"Authorization", "token " + std::string(32, '0')}}).first, 403);
    EXPECT_EQ(Get("/api/runs?token=" + token, none).first, 200);
    EXPECT_EQ(Get("/?token=" + token, none).first, 200);
    // A page of another site whose name leads here.
    EXPECT_EQ(Get("/api/runs", {{"Authorization", "token " + token},
                                {"Host", "evil.example:" + std::to_string(port)}})
                  .first,
              403);
    // Two Hosts: which one a proxy on the way took is not known.
    const std::string here = "127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(Get("/api/runs", {{"Authorization", "token " + token},
                                {"Host", here},
                                {"Host", "evil.example:" + std::to_string(port)}})
                  .first,
              403);
    std::string many = "velocity";  // a list longer than any answer takes
    for (int i = 0; i < 32; ++i) many += ",velocity";
    for (const auto& [path, status] : std::vector<std::pair<std::string, int>>{
             {"/api/runs/1/../../../etc/passwd", 404},
             {"/api/runs/1%2F..%2F..%2Fetc%2Fpasswd", 404},
             {"/assets/..%2F..%2FCMakeLists.txt", 404},
             {"/etc/passwd", 404},
             {"/api/runs/2/sample?at=0", 404},
             {"/api/runs/0/sample?at=0", 400},
             {"/api/runs/-1/sample?at=0", 400},
             {"/api/runs/01/sample?at=0", 400},
             {"/api/runs/1e3/sample?at=0", 400},
             {"/api/runs/99999999999999999999/sample?at=0", 400},
             {"/api/runs/1/sample?at=nan", 400},
             {"/api/runs/1/sample?at=0x10", 400},
             {"/api/runs/1/series?charts=velocity&width=10001", 400},
             {"/api/runs/1/series?charts=velocity&width=0", 400},
             {"/api/runs/1/series?charts=velocity&at=5&to=4", 400},
             {"/api/runs/1/series?charts=speed", 400},
             {"/api/runs/1/series?charts=" + many, 400},
             {"/api/runs/1/series?charts=velocity&x=sideways", 400}}) {
        auto [got, body] = Get(path);
        EXPECT_EQ(got, status) << path;
        EXPECT_EQ(body.rfind("{\"error\":", 0), 0u) << path << " " << body;
    }
    EXPECT_EQ(Get("/api/runs/1/series?charts=" + many).second,
              "{\"error\":\"charts names at most 32 chart types, not 33\"}");
    httplib::Client client("127.0.0.1", port);
    auto posted =
        client.Post("/api/runs", {{"Authorization", "token " + token}}, "x", "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_NE(posted->status, 200);
    // Every answer whole whatever range is asked for (httplib's were 200 with a part).
    const std::string csv = Get("/api/runs/1/export.csv?charts=velocity").second;
    for (const char* range : {"bytes=0-3", "bytes=100000000-"})
        EXPECT_EQ(Get("/api/runs/1/export.csv?charts=velocity",
                      {{"Authorization", ""}, {"Range", range}}),
                  std::make_pair(200, csv))
            << range;
    // Thousands of headers, far past 16 KiB: refused at the limit, not read on.
    httplib::Headers endless = {{"Authorization", ""}};
    for (int i = 0; i < 8000; ++i) endless.emplace("X-Many", "yes");
    EXPECT_EQ(Get("/api/runs", endless).first, 400);

    // Connections that send nothing, or half a request, keep no one else waiting.
    std::vector<int> silent;
    for (int i = 0; i < 40; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        if (i % 2) {
            EXPECT_EQ(write(fd, "GET /api/runs HTTP/1.1\r\n", 24), 24);
        }
        silent.push_back(fd);
    }
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get("/api/runs").first, 200);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    for (int fd : silent) close(fd);
    EXPECT_EQ(StopServing(SIGINT), 0);
    EXPECT_TRUE(served.Entries().empty());
}

TEST_F(Explorer, AServedLogIsFollowedAndAPortTakenIsRefused) {
    WriteIni("");
    std::string log = work.File("live.dat");
    WriteFile(log, Header() + Line({"0", "1.5"}) + Line({"0.1", "2"}));
    StartServing({log});
    EXPECT_EQ(JsonArray(Get("/api/runs/1/series?charts=velocity&width=10").second, "velocity"),
              (std::vector<std::string>{"1.5", "2"}));
    AppendFile(log, Line({"0.2", "2.5"}));
    std::vector<std::string> grown;
    for (int i = 0; i < 300 && grown.size() < 3; ++i, usleep(10000))
        grown = JsonArray(Get("/api/runs/1/series?charts=velocity&width=10").second, "velocity");
    EXPECT_EQ(grown, (std::vector<std::string>{"1.5", "2", "2.5"}));
    // A chart type read after the opening (the sample asks for all) is followed on too.
    EXPECT_NE(Get("/api/runs/1/sample?at=0").second.find("\"coupler-force\":0,"),
              std::string::npos);
    AppendFile(log, Line({"0.3", "3", "0", "0", "-7.5"}));
    std::string later;
    for (int i = 0; i < 300 && later.find("\"coupler-force\":-7.5") == std::string::npos; ++i) {
        usleep(10000);
        later = Get("/api/runs/1/sample?at=0.3").second;
    }
    EXPECT_NE(later.find("\"coupler-force\":-7.5,"), std::string::npos) << later;
    // The same port again: refused, naming it.
    Outcome taken = Run({"--serve", "--port", std::to_string(port), log});
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.errors, "plovo: cannot listen on 127.0.0.1:" + std::to_string(port) +
                                ": Address already in use\n");
    WriteFile(log, Header());  // a new run written over it: said, and served from its start
    std::string state;
    for (int i = 0; i < 300 && state.find("\"truncated\"") == std::string::npos; ++i, usleep(10000))
        state = Get("/api/runs").second;
    EXPECT_NE(state.find("\"state\":\"truncated\""), std::string::npos) << state;
    EXPECT_EQ(StopServing(SIGTERM), 0);
    EXPECT_TRUE(served.Entries().empty());
}

TEST_F(Explorer, ARunBeingSummarisedIsListedAsPendingAtOnce) {
    WriteIni("");
    std::string log = VariedLog("held.dat", 1, 500);
    // A write lease holds the summary's open of the log until it is let go.
    signal(SIGIO, SIG_IGN);  // the lease's break is told by a signal that would end the test
    int held = open(log.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(fcntl(held, F_SETLEASE, F_WRLCK), 0) << std::strerror(errno);
    StartServing({log});
    EXPECT_NE(Get("/api/runs").second.find("\"pending\":true"), std::string::npos);
    EXPECT_EQ(Get("/api/runs/1/brakings").first, 503);
    fcntl(held, F_SETLEASE, F_UNLCK);
    close(held);
    EXPECT_EQ(Summarised("/api/runs.csv"), summaryHeader + summary);
    EXPECT_EQ(StopServing(SIGTERM), 0);
}

TEST_F(Explorer, UnderNohupTheHangupIsIgnored) {
    WriteIni("");
    StartServing({VariedLog("run.dat", 3, 300)}, {"nohup"});
    kill(pid, SIGHUP);
    usleep(300000);
    EXPECT_EQ(Get("/api/runs").first, 200);
    EXPECT_EQ(StopServing(SIGTERM), 0);
    EXPECT_TRUE(served.Entries().empty());
}

TEST_F(Explorer, EveryRunOfALargeFolderOpensAndALogNoLongerFollowedStaysGone) {
    WriteIni("");
    std::string log = VariedLog("run.dat", 2, 300), folder = work.File("runs");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const int runs = 120;  // more than the files a signal removes
    for (int i = 0; i < runs; ++i)
        ASSERT_EQ(symlink(log.c_str(), (folder + "/r" + std::to_string(1000 + i) + ".dat").c_str()),
                  0);
    StartServing({folder, log});
    for (int id = 1; id <= runs; ++id)
        ASSERT_EQ(Get("/api/runs/" + std::to_string(id) + "/sample?at=0").first, 200) << id;
    EXPECT_TRUE(served.Entries().empty()) << "an opened run's file is kept only open";
    EXPECT_EQ(Get("/api/runs/1/plot.svg?charts=velocity").first, 200);
    // Its name now a folder: following stops, and the run stays gone.
    std::filesystem::remove_all(folder);
    ASSERT_EQ(unlink(log.c_str()), 0);
    ASSERT_EQ(mkdir(log.c_str(), 0700), 0);
    auto gone = [&] {
        return Get("/api/runs").second.find("\"state\":\"live\"") == std::string::npos;
    };
    for (int i = 0; i < 300 && !gone(); ++i) usleep(10000);
    usleep(1200000);  // two more looks at the logs
    EXPECT_TRUE(gone());
    EXPECT_EQ(StopServing(SIGTERM), 0);
    EXPECT_TRUE(served.Entries().empty());
}

TEST_F(Explorer, NoDescriptorLeftKeepsItIdleAndAFullFileIsAFailure) {
    WriteIni("");
    // 3000 samples of 14 chart types: 336 000 bytes, past the size limit.
    StartServing({VariedLog("run.dat", 7, 3000)}, {"prlimit", "--nofile=40:40", "--fsize=200000"});
    auto cpu = [&] {  // clock ticks
        std::istringstream stat(ReadFile("/proc/" + std::to_string(pid) + "/stat"));
        std::string field;
        long ticks = 0;
        for (int i = 1; i <= 15 && stat >> field; ++i)
            if (i >= 14) ticks += std::stol(field);
        return ticks;
    };
    std::vector<int> held;  // more than it has descriptors for
    for (int i = 0; i < 60; ++i) {
        held.push_back(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address = {
            AF_INET, htons(static_cast<std::uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
        ASSERT_EQ(connect(held.back(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    usleep(200000);
    long before = cpu();
    usleep(1000000);
    EXPECT_LT(cpu() - before, sysconf(_SC_CLK_TCK) / 4) << "ticks in a second of waiting";
    for (int fd : held) close(fd);
    // Not a run cut where its file filled.
    auto [status, body] = Get("/api/runs/1/sample?at=0");
    EXPECT_EQ(status, 500);
    EXPECT_NE(body.find("': File too large\"}"), std::string::npos) << body.substr(0, 200);
    EXPECT_EQ(StopServing(SIGTERM), 0);
    EXPECT_TRUE(served.Entries().empty());
}

// The real plovo under a private Xvfb server, driven with xdotool and captured with xwd: every
// captured frame must match, pixel for pixel, the frame rendered here for the state it shows.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

#include "chart.h"
#include "charttypes.h"
#include "kolejka.h"
#include "records.h"
#include "test_util.h"
#include "text.h"
#include "viewer.h"

// x_close.cpp: sends the window manager's close request, as a title bar's close button does.
bool SendCloseRequest(const char* display, unsigned long window);

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kSample = PLOVO_SOURCE_DIR "/examples/sample.dat";
constexpr int kWidth = 640, kHeight = 480;  // the shipped plovo.ini

// A frame reduced to the five colours plovo draws: 0 black, 1 red, 2 green, 3 blue, 4 yellow.
using Frame = std::vector<unsigned char>;

unsigned char Classify(int r, int g, int b) {
    bool R = r > 127, G = g > 127, B = b > 127;
    if (R && G && !B) return 4;
    if (R && !G && !B) return 1;
    if (!R && G && !B) return 2;
    if (!R && !G && B) return 3;
    return R || G || B ? 9 : 0;
}

// The first `rows` rows of a bitmap, classified.
Frame Classified(BITMAP* bitmap, int rows) {
    Frame frame(static_cast<std::size_t>(bitmap->w) * rows);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < bitmap->w; ++x) {
            int pixel = getpixel(bitmap, x, y);
            frame[y * bitmap->w + x] = Classify(getr(pixel), getg(pixel), getb(pixel));
        }
    return frame;
}

std::string Shell(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[65536];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    return output;
}

// The exit status of pid, or nullopt when it has not ended within timeout.
std::optional<int> WaitExit(pid_t pid, std::chrono::milliseconds timeout) {
    auto end = Clock::now() + timeout;
    do {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) return ExitStatus(status);
        std::this_thread::sleep_for(20ms);
    } while (Clock::now() < end);
    return std::nullopt;
}

class Window : public ::testing::Test {
  protected:
    // Starts a private Xvfb and makes it this process's display.
    static void StartXvfb(pid_t& server, std::string& name) {
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        server = Spawn(
            "Xvfb", {"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
            Environment({}, {}), -1, fds[1]);
        close(fds[1]);
        ASSERT_GT(server, 0) << "Xvfb is not installed";
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        name = ":" + number;
        setenv("DISPLAY", name.c_str(), 1);
    }
    static void SetUpTestSuite() {
        StartXvfb(xvfb, display);
        if (const char* tmpdir = getenv("TMPDIR")) savedTmpdir = tmpdir;
    }
    static void TearDownTestSuite() {
        if (xvfb > 0) {
            kill(xvfb, SIGTERM);
            WaitExit(xvfb, 5s);
        }
    }

    void SetUp() override {
        ASSERT_FALSE(display.empty());
        UseMemoryBitmaps();
        ResetGlobals();
        iscrWidth = kWidth;
        iscrHeight = kHeight;
        // The expected frames are rendered from this process's own extraction of the sample.
        setenv("TMPDIR", work.path.c_str(), 1);
        std::string error;
        SetScale(MakeTempFile(kSample.c_str(), 2, &error));
        ASSERT_EQ(error, "");
        TypeOfChart(2);
        ASSERT_TRUE(CreateCanvases(canvases));
    }
    void TearDown() override {
        if (plovo > 0) {
            kill(plovo, SIGKILL);
            WaitExit(plovo, 5s);
        }
        DestroyCanvases(canvases);
        RemoveTempFile();
        if (savedTmpdir.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", savedTmpdir.c_str(), 1);
    }

    // plovo's exit status, once it has ended within timeout.
    std::optional<int> PlovoExit(std::chrono::milliseconds timeout) {
        std::optional<int> status = WaitExit(plovo, timeout);
        if (status) plovo = -1;
        return status;
    }

    void Start(std::vector<std::string> options = {}, const std::string& log = kSample) {
        options.insert(options.begin(), PLOVO_BINARY);
        options.insert(options.end(), {log, "2"});
        plovo = Spawn(PLOVO_BINARY, options, Environment({"TMPDIR"}, {"TMPDIR=" + tmp.path}));
        ASSERT_GT(plovo, 0);
        std::string id = Shell("timeout 20 xdotool search --sync --onlyvisible --name '^plovo - '");
        ASSERT_FALSE(id.empty()) << "no plovo window";
        window = std::stoul(id);
        // With no window manager the keyboard follows the pointer.
        Shell("xdotool mousemove --window " + std::to_string(window) + " 320 240");
    }

    // The window's picture, or an empty frame when it is not the expected size.
    Frame Capture() {
        std::string rgb =
            Shell("xwd -silent -id " + std::to_string(window) + " | convert xwd:- -depth 8 rgb:-");
        if (rgb.size() != 3u * kWidth * kHeight) return {};
        Frame frame(kWidth * kHeight);
        const unsigned char* p = reinterpret_cast<const unsigned char*>(rgb.data());
        for (int i = 0; i < kWidth * kHeight; ++i, p += 3) frame[i] = Classify(p[0], p[1], p[2]);
        return frame;
    }

    // Captures until two frames in a row are the same.
    Frame Steady() {
        Frame last = Capture();
        for (int i = 0; i < 50; ++i) {
            std::this_thread::sleep_for(100ms);
            Frame now = Capture();
            if (now == last && !now.empty()) return now;
            last = now;
        }
        return last;
    }

    // Holds keys (xdotool names) for a while, pressed in order and released in reverse order,
    // so that no pass sees the arrow without its modifier; then waits for a steady frame.
    Frame Hold(const std::vector<std::string>& keys, std::chrono::milliseconds time) {
        for (const auto& k : keys) Shell("xdotool keydown " + k);
        std::this_thread::sleep_for(time);
        for (auto k = keys.rbegin(); k != keys.rend(); ++k) Shell("xdotool keyup " + *k);
        return Steady();
    }

    // The frame plovo shows for a window starting at record `first`, with the cursor line at
    // `cursor` and `shown` in the status bar.
    Frame Expected(int first, int cursor, double shown) {
        kolejka samples(kWidth);
        for (int k = first; k < first + kWidth; ++k) samples.push_back(czytaj(k));
        isFp = first;
        ieFp = first + kWidth - 1;
        value = shown;
        clear_bitmap(canvases.chart);
        clear_bitmap(canvases.frame);
        ChartInit(samples, canvases.frame, canvases.chart, canvases.strip);
        DrawStatBar(canvases.statusBar, canvases.frame);
        DrawCursorLine(canvases.frame, cursor);
        return Classified(canvases.frame, kHeight);
    }

    // The first record that the status bar of `frame` shows, found by rendering candidates.
    std::optional<int> FirstRecordShown(const Frame& frame, double shown) {
        auto bar = [](const Frame& f) { return Frame(f.end() - 20 * kWidth, f.end()); };
        Frame target = bar(frame);
        for (int first = 1; first + kWidth - 1 <= std::max(iFc, kWidth); ++first) {
            isFp = first;
            ieFp = first + kWidth - 1;
            value = shown;
            DrawStatBar(canvases.statusBar, canvases.frame);
            Frame candidate = Classified(canvases.statusBar, 20);
            // The cursor line crosses the bar: ignore yellow.
            bool same = true;
            for (std::size_t i = 0; i < candidate.size() && same; ++i)
                same = target[i] == 4 || target[i] == candidate[i];
            if (same) return first;
        }
        return std::nullopt;
    }

    std::string Title() {
        std::string name = Shell("xdotool getwindowname " + std::to_string(window));
        return name.substr(0, name.find('\n'));
    }
    std::string ExpectedTitle(int record) {
        return TitleText(
            {"sample.dat", "Velocity [m/s]", record, true, RecordTime(record), czytaj(record)});
    }

    // Waits up to 10 s for the window's title to become `expected`.
    bool TitleBecomes(const std::string& expected) {
        for (int i = 0; i < 100 && Title() != expected; ++i) std::this_thread::sleep_for(100ms);
        return Title() == expected;
    }

    int CursorShown(const Frame& frame) {
        for (int x = 0; x < kWidth; ++x)
            if (frame[x] == 4 && frame[(kHeight - 1) * kWidth + x] == 4) return x;
        return -1;
    }

    void ExpectFrame(const Frame& got, const Frame& expected) {
        ASSERT_EQ(got.size(), expected.size());
        int differing = 0;
        for (std::size_t i = 0; i < got.size(); ++i) differing += got[i] != expected[i];
        EXPECT_EQ(differing, 0) << "pixels that differ from the expected frame";
    }

    static inline pid_t xvfb = -1;
    static inline std::string display;
    static inline std::string savedTmpdir;
    ScratchDir tmp;   // plovo's $TMPDIR
    ScratchDir work;  // this process's
    Canvases canvases;
    pid_t plovo = -1;
    unsigned long window = 0;
};
}  // namespace

TEST_F(Window, ScrollsMovesTheCursorAndQuitsOnEscape) {
    Start();
    // The first frame, then the first pass's cursor line at column 0.
    Frame first = Steady();
    ExpectFrame(first, Expected(1, 0, 0.0));

    Frame scrolled = Hold({"Right"}, 300ms);
    std::optional<int> start = FirstRecordShown(scrolled, 0.0);
    ASSERT_TRUE(start);
    EXPECT_GT(*start, 1);
    ExpectFrame(scrolled, Expected(*start, 0, 0.0));

    Frame fast = Hold({"shift", "Right"}, 300ms);
    std::optional<int> fastStart = FirstRecordShown(fast, 0.0);
    ASSERT_TRUE(fastStart);
    EXPECT_GT(*fastStart, *start);
    EXPECT_EQ((*fastStart - *start) % 10, 0);
    ExpectFrame(fast, Expected(*fastStart, 0, 0.0));

    Frame moved = Hold({"ctrl", "Right"}, 300ms);
    int cursor = CursorShown(moved);
    EXPECT_GT(cursor, 0);
    double underCursor = czytaj(*fastStart + cursor);
    ExpectFrame(moved, Expected(*fastStart, cursor, underCursor));
    EXPECT_EQ(Title(), ExpectedTitle(*fastStart + cursor));

    // A scroll keeps the value fetched at the last cursor move.
    Frame back = Hold({"Left"}, 200ms);
    std::optional<int> backStart = FirstRecordShown(back, underCursor);
    ASSERT_TRUE(backStart);
    EXPECT_LT(*backStart, *fastStart);
    ExpectFrame(back, Expected(*backStart, cursor, underCursor));
    EXPECT_EQ(Title(), ExpectedTitle(*backStart + cursor));

    Shell("xdotool keydown Escape");
    EXPECT_EQ(PlovoExit(10s), 0);
    Shell("xdotool keyup Escape");
    EXPECT_TRUE(tmp.Entries().empty());
}

TEST_F(Window, CloseButtonEndsLikeEscape) {
    Start();
    ASSERT_TRUE(SendCloseRequest(display.c_str(), window));
    EXPECT_EQ(PlovoExit(10s), 0);
    EXPECT_TRUE(tmp.Entries().empty());
}

TEST_F(Window, OpensAtTheSampleAsked) {
    Start({"--start", "1000"});
    ExpectFrame(Steady(), Expected(1000, 0, 0.0));
}

TEST_F(Window, EndingSignalsEndCleanly) {
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        Start();
        kill(plovo, number);
        EXPECT_EQ(PlovoExit(10s), 128 + number);
        EXPECT_TRUE(tmp.Entries().empty()) << number;
    }
}

TEST_F(Window, ADyingXServerEndsItWithoutACrash) {
    // At moments across the start (before the connection, while the library starts, while the
    // window opens), then once the window is up.
    for (int delay : {0, 25, 50, 75, 100, 125, 150, 200, -1}) {
        pid_t server = -1;
        std::string name;
        StartXvfb(server, name);
        // The screen's shared memory: no other user's, and gone with plovo however it ends.
        std::string segment = "awk '$5 == PID {print $3}' /proc/sysvipc/shm";
        if (delay < 0) {
            Start();
            segment.replace(segment.find("PID"), 3, std::to_string(plovo));
            EXPECT_EQ(Shell(segment), "1600\n");  // 0600, removed at the last detach
        } else {
            plovo = Spawn(PLOVO_BINARY, {PLOVO_BINARY, kSample, "2"},
                          Environment({"TMPDIR"}, {"TMPDIR=" + tmp.path}));
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        }
        kill(server, SIGKILL);
        WaitExit(server, 5s);
        setenv("DISPLAY", display.c_str(), 1);
        std::optional<int> status = PlovoExit(10s);
        ASSERT_TRUE(status) << "a hang, killed " << delay << " ms after the start";
        EXPECT_EQ(*status, 1) << delay;  // not a signal, such as SIGSEGV
        EXPECT_TRUE(tmp.Entries().empty()) << delay;
        if (delay < 0) {
            EXPECT_EQ(Shell(segment), "");
        }
    }
}

TEST_F(Window, FollowsAGrowingLogWhileItShowsItsEnd) {
    // Record k holds k: every new record is a new extreme, and the scale follows it.
    // Named beyond Latin-1 and beyond the graphics library's 127-byte WM_NAME.
    std::string name = "run \xe2\x86\x92 " + std::string(120, 'x') + ".dat", log = work.File(name);
    auto records = [](int from, int to, int sign) {
        std::string body;
        for (int k = from; k <= to; ++k)
            body += Line({std::to_string(k * 0.1), std::to_string(sign * k)});
        return body;
    };
    auto extract = [&] {  // this process's own extraction, for the expected titles and frames
        iFc = 0;
        std::string error;
        SetScale(MakeTempFile(log.c_str(), 2, &error));
    };
    auto title = [&](int record, bool following) {
        return TitleText(
            {name, "Velocity [m/s]", record, true, RecordTime(record), czytaj(record), following});
    };
    WriteFile(log, Header() + records(1, 1000, 1));
    Start({"--follow"}, log);
    extract();
    EXPECT_TRUE(TitleBecomes(title(361, true))) << Title();  // the last full screen
    EXPECT_EQ(Shell("xprop -id " + std::to_string(window) + " WM_NAME"),
              "WM_NAME(STRING) = \"" + Latin1Escaped(title(361, true)) + "\"\n");
    ExpectFrame(Steady(), Expected(361, 0, 0.0));

    AppendFile(log, records(1001, 1100, 1));
    extract();
    EXPECT_TRUE(TitleBecomes(title(461, true))) << Title();
    Hold({"Left"}, 300ms);
    std::optional<int> back = FirstRecordShown(Steady(), 0.0);
    ASSERT_TRUE(back);
    AppendFile(log, records(1101, 1200, 1));
    extract();
    ExpectFrame(Hold({}, 500ms), Expected(*back, 0, 0.0));  // stays, rescaled
    EXPECT_EQ(Title(), title(*back, false));
    Hold({"shift", "Right"}, 1500ms);
    EXPECT_TRUE(TitleBecomes(title(561, true))) << Title();

    // A new run renamed over the log: started over, from record 1 while it is short.
    WriteFile(work.File("new.dat"), Header() + records(1, 300, -2));
    std::rename(work.File("new.dat").c_str(), log.c_str());
    extract();
    EXPECT_TRUE(TitleBecomes(title(1, true))) << Title();
    ExpectFrame(Steady(), Expected(1, 0, 0.0));
    // Gone, the log leaves the title without its suffix, in a pass with nothing else to do.
    std::remove(log.c_str());
    EXPECT_TRUE(TitleBecomes(title(1, false))) << Title();

    Shell("xdotool keydown Escape");
    EXPECT_EQ(PlovoExit(10s), 0);
    Shell("xdotool keyup Escape");
    EXPECT_TRUE(tmp.Entries().empty());
}

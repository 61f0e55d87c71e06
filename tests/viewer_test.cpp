// The loop's decision table as a pure function, the keys a pass reads, and whole passes drawn
// into memory bitmaps.
#include "viewer.h"

#include <cmath>
#include <sstream>

#include "graphics.h"
#include "kolejka.h"
#include "records.h"
#include "test_util.h"

namespace {
KeySnapshot Keys(const std::string& held) {
    KeySnapshot keys;
    keys.escape = held.find("Esc") != std::string::npos;
    keys.left = held.find("Left") != std::string::npos;
    keys.right = held.find("Right") != std::string::npos;
    keys.shift = held.find("Shift") != std::string::npos;
    keys.ctrl = held.find("Ctrl") != std::string::npos;
    return keys;
}

std::string Describe(const Action& action) {
    switch (action.act) {
        case Act::Quit:
            return "quit";
        case Act::Nothing:
            return "nothing";
        case Act::MoveCursor:
            return action.step > 0 ? "cursor +1" : "cursor -1";
        case Act::Scroll:
            return std::string(action.direction == 1 ? "forward " : "back ") +
                   std::to_string(action.count);
    }
    return "?";
}
}  // namespace

TEST(DecisionTable, RowsActInTheirOrder) {
    std::vector<std::pair<std::string, std::string>> table = {{"Esc Right Shift", "quit"},
                                                              {"Esc", "quit"},
                                                              {"Shift Right", "forward 10"},
                                                              {"Ctrl Right", "cursor +1"},
                                                              {"Right", "forward 1"},
                                                              {"Shift Left", "back 10"},
                                                              {"Ctrl Left", "cursor -1"},
                                                              {"Left", "back 1"},
                                                              {"Left Right", "forward 1"},
                                                              {"Ctrl Left Right", "cursor +1"},
                                                              {"Shift Ctrl Right", "forward 10"},
                                                              {"Shift Ctrl Left", "back 10"},
                                                              {"Shift", "nothing"},
                                                              {"Ctrl", "nothing"},
                                                              {"", "nothing"}};
    for (const auto& [held, expected] : table)
        EXPECT_EQ(Describe(Decide(Keys(held), 1)), expected) << held;
    // The guard on the first record only fails below 1; the later rows then decide.
    EXPECT_EQ(Describe(Decide(Keys("Shift Ctrl Left"), 0)), "cursor -1");
    EXPECT_EQ(Describe(Decide(Keys("Shift Left"), 0)), "nothing");
}

// Keys pressed and released between two passes, as the graphics library reports them: both
// sides of Shift and of Control are taken in the same pass, so that neither acts a pass late.
TEST(FollowWindow, FollowsWhileTheNewestRecordIsOnScreen) {
    // {first, last, records before, records now, new extreme, started over} on a screen 100
    // samples wide -> "first" of the window, with "redraw" and "rescale" when they apply.
    std::vector<std::pair<LogChange, std::string>> table = {
        {{301, 400, 400, 405, 100}, "306 redraw"},                   // at the end
        {{301, 400, 400, 400, 100}, "301"},                          // nothing new
        {{201, 300, 400, 405, 100}, "201"},                          // scrolled back
        {{201, 300, 400, 405, 100, true}, "201 redraw rescale"},     // a new extreme
        {{1, 100, 30, 50, 100}, "1 redraw"},                         // shorter than the screen
        {{1, 100, 90, 130, 100}, "31 redraw"},                       // then longer
        {{201, 300, 400, 3, 100, false, true}, "1 redraw rescale"},  // started over
        {{201, 300, 400, 900, 100, false, true}, "801 redraw rescale"}};
    for (const auto& [change, expected] : table) {
        WindowMove move = FollowWindow(change);
        EXPECT_EQ(std::to_string(move.first) + (move.redraw ? " redraw" : "") +
                      (move.rescale ? " rescale" : ""),
                  expected);
    }
}

namespace {
class Pass : public PlovoTest {
  protected:
    void SetUp() override {
        PlovoTest::SetUp();
        UseMemoryBitmaps();
        iscrWidth = 40;
        iscrHeight = 60;
        ZeroLine = 20;
        multiplier = 0.1;
        MakeRecords(100);
        FillWindowAt(window, 1);
        target = create_bitmap(iscrWidth, iscrHeight);
        ASSERT_TRUE(ShowFirstFrame(viewer, target));
    }
    void TearDown() override {
        destroy_bitmap(target);
        DestroyCanvases(viewer.canvases);
        PlovoTest::TearDown();
    }
    bool Run(const std::string& held, int passes = 1) {
        bool going = true;
        for (int i = 0; i < passes && going; ++i) going = ViewerPass(viewer, Keys(held), target);
        return going;
    }
    int YellowColumns() {
        int yellow = makecol(255, 255, 0), column = -1, count = 0;
        for (int x = 0; x < iscrWidth; ++x)
            if (getpixel(target, x, 0) == yellow && getpixel(target, x, iscrHeight - 1) == yellow) {
                column = x;
                ++count;
            }
        return count == 1 ? column : -count;
    }
    kolejka window{40};
    Viewer viewer{window};
    BITMAP* target = nullptr;
};
}  // namespace

TEST_F(Pass, EscapeEndsTheLoopBeforeAnyRowActs) {
    EXPECT_FALSE(Run("Esc Right"));
    EXPECT_EQ(isFp, 1);
    EXPECT_TRUE(Run(""));
    EXPECT_EQ(YellowColumns(), 0);  // the cursor line is drawn in every pass
}

TEST_F(Pass, OnlyAPassThatActsTouchesTheTarget) {
    Run("");  // the first pass presents the frame with its cursor line
    int magenta = makecol(255, 0, 255);
    clear_to_color(target, magenta);
    Run("Shift Ctrl", 3);
    EXPECT_EQ(getpixel(target, 5, 5), magenta);
    Run("Right");
    EXPECT_EQ(YellowColumns(), 0);
    EXPECT_NE(getpixel(target, 5, 5), magenta);
}

TEST_F(Pass, CursorStaysOnScreenAndFetchesTheValue) {
    Run("Ctrl Left");  // against the left bound: still fetches record isFp
    EXPECT_EQ(viewer.cursorColumn, 0);
    EXPECT_EQ(value, 1.0);
    Run("Ctrl Right", 100);
    EXPECT_EQ(viewer.cursorColumn, 39);
    EXPECT_EQ(value, 40.0);
    EXPECT_EQ(YellowColumns(), 39);
    Run("Shift Right");  // a scroll keeps the value and the column
    EXPECT_EQ(isFp, 11);
    EXPECT_EQ(value, 40.0);
    EXPECT_EQ(YellowColumns(), 39);
    Run("Ctrl Right");
    EXPECT_EQ(value, 50.0);
}

TEST_F(Pass, TheTitleFollowsTheCursorsSampleInPassesThatAct) {
    viewer.logName = "records.dat";
    Run("Ctrl Right");
    EXPECT_EQ(viewer.title, "plovo - records.dat -  - sample 2 at 2 s: 2");
    Run("Shift Right");
    EXPECT_EQ(viewer.title, "plovo - records.dat -  - sample 12 at 12 s: 12");
    Run("Shift Right", 20);  // at the end: the last window's record under the cursor
    EXPECT_EQ(viewer.title, "plovo - records.dat -  - sample 62 at 62 s: 62");
}

TEST_F(Pass, ScrollingStopsAtBothEnds) {
    Run("Shift Right", 10);
    EXPECT_EQ(isFp, 61);
    EXPECT_EQ(ieFp, 100);
    Run("Left", 3);
    EXPECT_EQ(isFp, 58);
    Run("Shift Left", 10);
    EXPECT_EQ(isFp, 1);
    EXPECT_EQ(ieFp, 40);
}

TEST(Title, NamesTheSampleUnderTheCursorWithItsTimeAndValue) {
    // Times and values exact: neighbouring samples of a long run read apart.
    EXPECT_EQ(TitleText({"run17.dat", "Velocity [m/s]", 4001, true, 280.25, -3.14159265}),
              "plovo - run17.dat - Velocity [m/s] - sample 4001 at 280.25 s: -3.14159265");
    EXPECT_EQ(TitleText({"run.dat", "Distance [m]", 2100002, true, 210000.1, 4.1e6 + 0.3}),
              "plovo - run.dat - Distance [m] - sample 2100002 at 210000.1 s: 4100000.3");
    EXPECT_EQ(TitleText({"a b.dat", "Not supported!", 2, true, 1e6, -std::nan("")}),
              "plovo - a b.dat - Not supported! - sample 2 at 1e+06 s: nan");
    EXPECT_EQ(TitleText({"short.dat", "Time [s]", 640, false, 0, 0}),
              "plovo - short.dat - Time [s] - sample 640: no data");
    EXPECT_EQ(TitleText({"run.dat", "Time [s]", 9, false, 0, 0, true}),
              "plovo - run.dat - Time [s] - sample 9: no data - following");
}

TEST(ReadKeys, AnArrowActsWithTheModifiersItWasPressedWith) {
    // Events from the graphics library's input thread ("+" press, "-" release), "|" a pass.
    const int codes[] = {KEY_RSHIFT, KEY_LCONTROL, KEY_LEFT, KEY_RIGHT, KEY_ESC};  // by initial
    std::vector<std::pair<std::string, std::string>> table = {
        {"Shift+ | Right+ Right- Shift- |", "nothing, forward 10"},  // Shift seen alone first
        {"Ctrl+ | Left+ Left- Ctrl- |", "nothing, cursor -1"},
        {"Shift+ Shift- Right+ Right- |", "forward 1"},
        {"Shift+ Right+ | Shift- | Right- |", "forward 10, nothing, nothing"},  // a script's tap
        {"Shift+ Right+ | | Shift- | | Right- |",  // held, then Shift let go
         "forward 10, forward 10, nothing, forward 1, nothing"},
        {"Esc+ Esc- |", "quit"}};
    for (const auto& [events, expected] : table) {
        std::istringstream tokens(events);
        std::string token, done;
        while (tokens >> token) {
            if (token == "|") {
                done += (done.empty() ? "" : ", ") + Describe(Decide(ReadKeys(), 1));
                continue;
            }
            int code = codes[std::string("SCLRE").find(token[0])];
            NoteKeyEvent(code | (token.back() == '+' ? 0 : 0x80));
            key[code] = token.back() == '+';  // as the library sets it, before its next event
        }
        EXPECT_EQ(done, expected) << events;
    }
}

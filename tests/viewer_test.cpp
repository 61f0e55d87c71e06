// The loop's decision table as a pure function, and whole passes drawn into memory bitmaps.
#include "viewer.h"

#include "kolejka.h"
#include "logdata.h"
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
TEST(KeyTaps, BothSidesCountInOnePassAndOnlyOnce) {
    ReadKeys();  // no press left from another test
    for (int scancode : {KEY_LSHIFT, KEY_RSHIFT, KEY_LCONTROL, KEY_RCONTROL, KEY_RIGHT}) {
        OnKeyEvent(scancode);
        OnKeyEvent(scancode | 0x80);  // its release
    }
    KeySnapshot first = ReadKeys();
    EXPECT_TRUE(first.shift);
    EXPECT_TRUE(first.ctrl);
    EXPECT_TRUE(first.right);
    EXPECT_FALSE(first.left);
    KeySnapshot second = ReadKeys();
    EXPECT_FALSE(second.shift);
    EXPECT_FALSE(second.ctrl);
    EXPECT_FALSE(second.right);

    OnKeyEvent(KEY_LEFT | 0x80);  // a release alone is no press
    EXPECT_FALSE(ReadKeys().left);
}

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
        FillWindow(window);
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

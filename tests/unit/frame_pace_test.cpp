// The frame pace both backends share, driven without a window: the swap is a no-op or a sleep.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/frame_pace.hpp"

namespace {

using namespace std::chrono_literals;

int tenHertz() { return 10; }
int thousandHertz() { return 1000; }
int refreshNeverAsked() {
    ADD_FAILURE() << "the display's rate was asked for";
    return 60;
}

} // namespace

TEST(FramePace, UnpacedAndFixedRateNeverAskTheDisplay) {
    FramePace pace;
    pace.start(0, false, refreshNeverAsked);
    pace.beforeSwap();
    pace.afterSwap();
    EXPECT_EQ(pace.msUntilNextFrame(), 0.0);

    // One frame a second: the next one is due within that second, and at once after a restart.
    pace.start(1, false, refreshNeverAsked);
    EXPECT_GT(pace.msUntilNextFrame(), 0.0);
    EXPECT_LE(pace.msUntilNextFrame(), 1000.0);
    pace.restart();
    EXPECT_EQ(pace.msUntilNextFrame(), 0.0);
}

TEST(FramePace, RefusedVsyncKeepsTheDisplaysRate) {
    FramePace pace;
    pace.start(-1, false, tenHertz);
    EXPECT_GT(pace.msUntilNextFrame(), 0.0);
    EXPECT_LE(pace.msUntilNextFrame(), 100.0);
}

// Vsync that is accepted but returns at once: after the measured frames the pace is kept here.
TEST(FramePace, VsyncThatDoesNotBlockIsReplaced) {
    FramePace pace;
    pace.start(-1, true, tenHertz);
    for (int frame = 0; frame < 29; ++frame) {
        pace.beforeSwap();
        pace.afterSwap();
    }
    EXPECT_EQ(pace.msUntilNextFrame(), 0.0);
    pace.beforeSwap();
    pace.afterSwap();
    EXPECT_GT(pace.msUntilNextFrame(), 0.0);
}

TEST(FramePace, VsyncThatBlocksIsKept) {
    FramePace pace;
    pace.start(-1, true, thousandHertz);
    for (int frame = 0; frame < 40; ++frame) {
        pace.beforeSwap();
        std::this_thread::sleep_for(1ms); // the display's frame
        pace.afterSwap();
    }
    EXPECT_EQ(pace.msUntilNextFrame(), 0.0);
}

// After a stall the pace counts on from now, instead of swapping at once to catch up.
TEST(FramePace, FarBehindStartsCountingAgain) {
    FramePace pace;
    pace.start(10, false, refreshNeverAsked);
    std::this_thread::sleep_for(1s);
    pace.beforeSwap();
    EXPECT_GT(pace.msUntilNextFrame(), 0.0);
}

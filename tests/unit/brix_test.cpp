// The brix library through its exported functions and a real SDL event queue.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <chrono>
#include <thread>
#include <vector>

#include "brix.h"
#include "brix_message.hpp"
#include "platform/events.hpp"

namespace {

using Clock = std::chrono::steady_clock;

struct Posted {
    double ms; // after BrixOpen
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::uint32_t tick; // the moment the message stands for
};

class Brix : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        BrixClose();
        SDL_Quit();
    }

    // Collects sensor events for `duration`, stamping each with its arrival time.
    std::vector<Posted> collect(Clock::time_point start, std::chrono::milliseconds duration) {
        std::vector<Posted> out;
        while (Clock::now() - start < duration) {
            Event event;
            while (pollEvent(event)) {
                if (event.kind != Event::Kind::Sensor) continue;
                const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                out.push_back({ms, event.message, event.wParam, event.lParam, event.tick});
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return out;
    }

    int window = 0; // any non-null handle: the library never looks inside it
};

TEST_F(Brix, PostsTheSixStepPatternEvery500Ms) {
    const auto start = Clock::now();
    ASSERT_TRUE(BrixOpen(&window, 2024));
    const auto posted = collect(start, std::chrono::milliseconds(3250));
    ASSERT_EQ(posted.size(), 7u);
    // Each rise carries the 1000 ms since the one before; each step's moment is whole periods
    // after the first on the program's clock, however late the worker woke.
    const std::uintptr_t second = beatIntervalBits(1000);
    const std::uintptr_t wParams[] = {0x10000,          0x10002 | second, 0x10000, 0x10003 | second,
                                      0x10001,          0x10003 | second, 0x10000};
    const std::intptr_t lParams[] = {0x490000, 0x590000, 0x490000, 0xD90000, 0xC90000, 0xD90000, 0x490000};
    for (std::size_t i = 0; i < posted.size(); ++i) {
        EXPECT_EQ(posted[i].message, 2024u);
        EXPECT_EQ(posted[i].wParam, wParams[i]) << "step " << i;
        EXPECT_EQ(posted[i].lParam, lParams[i]) << "step " << i;
        EXPECT_NEAR(posted[i].ms, 500.0 * static_cast<double>(i), 60.0) << "step " << i;
        // (From step 1: a tick of 0, as SDL's clock reads just after its start, travels as 1.)
        if (i > 0) EXPECT_EQ(posted[i].tick - posted[1].tick, 500u * (i - 1)) << "step " << i;
    }
}

TEST_F(Brix, OpenTwiceAndCloseTwice) {
    EXPECT_FALSE(BrixClose()); // never opened
    int other = 0;
    EXPECT_TRUE(BrixOpen(&window, 2024));
    EXPECT_FALSE(BrixOpen(&other, 3000));
    const auto posted = collect(Clock::now(), std::chrono::milliseconds(100));
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted[0].message, 2024u); // the second open changed nothing
    EXPECT_TRUE(BrixClose());
    EXPECT_FALSE(BrixClose());
    // Opened again, the worker starts again at step 0.
    EXPECT_TRUE(BrixOpen(&window, 2024));
    const auto again = collect(Clock::now(), std::chrono::milliseconds(100));
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].wParam, 0x10000u);
}

TEST_F(Brix, CloseIsQuickAndNothingIsPostedAfterIt) {
    ASSERT_TRUE(BrixOpen(&window, 2024));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto before = Clock::now();
    EXPECT_TRUE(BrixClose());
    const double closeMs = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
    EXPECT_LT(closeMs, 100.0);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    EXPECT_TRUE(collect(Clock::now(), std::chrono::milliseconds(1100)).empty());
}

TEST_F(Brix, LowMessageNumbersAndNullWindowsPostNothing) {
    ASSERT_TRUE(BrixOpen(&window, 1024));
    EXPECT_TRUE(collect(Clock::now(), std::chrono::milliseconds(600)).empty());
    EXPECT_TRUE(BrixClose());
    ASSERT_TRUE(BrixOpen(nullptr, 2024));
    EXPECT_TRUE(collect(Clock::now(), std::chrono::milliseconds(600)).empty());
    EXPECT_TRUE(BrixClose());
}

} // namespace

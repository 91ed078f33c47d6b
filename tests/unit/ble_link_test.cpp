// A Bluetooth strap through the whole link: the fake BlueZ, brix, the decoder and the pacer.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>
#include <vector>

#include "app/frame_advance.hpp"
#include "app/session_flow.hpp"
#include "app/shell.hpp"
#include "brix.h"
#include "gui/gui.hpp"
#include "platform/events.hpp"
#include "support/fake_bluez.hpp"
#include "support/test_support.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Each beat carries the strap's RR interval, so the session's intervals are the strap's, in
// order, to the millisecond (the beats that pass while the link learns how the strap batches
// are not shown); the panels read the pulse ready and claim no breath sensor, and the link
// closes promptly while the strap streams.
TEST(BleLink, SessionIntervalsAreTheStrapsAndTheLinkClosesPromptly) {
    const auto recording = testdataDir() / "rr" / "real_rri.txt";
    std::vector<double> rr;
    {
        std::ifstream in(recording);
        for (double ms = 0; rr.size() < 40 && in >> ms;)
            rr.push_back(ms);
    }
    FakeBluez bluez("play", recording.string());
    ASSERT_TRUE(bluez.ok());
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    gui = Gui();
    char error[256] = "unset";
    ASSERT_TRUE(BrixChooseSource("ble", error, sizeof error)) << error;
    gui.session.cyclesSetting = 60;
    startSession();
    int window = 0; // any non-null handle
    ASSERT_TRUE(BrixOpen(&window, 2024));

    // The first rise is not armed; the second is the session's first beat.
    const auto until = Clock::now() + 40s;
    int pulseWhilePlaying = -1;
    const std::size_t wanted = 11;
    while (gui.session.beatIntervals.size() < wanted && Clock::now() < until) {
        Event event;
        while (pollEvent(event))
            windowProc(event);
        stepPacer();
        if (!gui.session.beatIntervals.empty()) pulseWhilePlaying = gui.sensor.pulseStatus;
        std::this_thread::sleep_for(16ms);
    }
    const auto closing = Clock::now();
    EXPECT_TRUE(BrixClose());
    EXPECT_LT(Clock::now() - closing, 100ms);
    EXPECT_TRUE(bluez.waitFor("stop-notify", 2s)) << bluez.events();

    const std::vector<float>& got = gui.session.beatIntervals;
    ASSERT_EQ(got.size(), wanted) << bluez.events();
    const auto first = std::find_if(rr.begin(), rr.end(),
                                    [&](double ms) { return std::abs(ms - got[1]) <= 0.5; });
    ASSERT_LE(first + static_cast<long>(wanted - 1), rr.end());
    for (std::size_t i = 1; i < got.size(); ++i)
        EXPECT_NEAR(got[i], first[static_cast<long>(i - 1)], 0.5) << "beat " << i;
    EXPECT_EQ(pulseWhilePlaying, 2);
    EXPECT_EQ(gui.sensor.breathStatus, 3);

    BrixChooseSource("simulated", error, sizeof error);
    SDL_Quit();
    gui = Gui();
}

} // namespace

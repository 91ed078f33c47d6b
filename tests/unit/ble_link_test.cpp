// A Bluetooth strap through the whole link: the fake BlueZ, brix, the decoder and the pacer.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>
#include <vector>

#include "app/shell.hpp"
#include "brix.h"
#include "gui/gui.hpp"
#include "platform/events.hpp"
#include "support/fake_bluez.hpp"
#include "support/test_support.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The session measures each beat on the tick its message carries, so with a strap its
// intervals are the strap's RR intervals; the panels read the pulse ready and claim no
// breath sensor, and the link closes promptly while the strap streams.
TEST(BleLink, SessionIntervalsAreTheStrapsAndTheLinkClosesPromptly) {
    const auto recording = testdataDir() / "rr" / "real_rri.txt";
    std::vector<double> rr;
    {
        std::ifstream in(recording);
        for (double ms = 0; rr.size() < 12 && in >> ms;)
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
    gui.session.restart();
    int window = 0; // any non-null handle
    ASSERT_TRUE(BrixOpen(&window, 2024));

    // The first rise is not armed; the second is the session's first beat.
    const auto until = Clock::now() + 40s;
    int pulseWhilePlaying = -1;
    while (gui.session.beatIntervals.size() < rr.size() - 1 && Clock::now() < until) {
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
    ASSERT_EQ(got.size(), rr.size() - 1) << bluez.events();
    std::vector<double> errors;
    for (std::size_t i = 1; i < got.size(); ++i)
        errors.push_back(std::abs(got[i] - rr[i + 1]));
    std::sort(errors.begin(), errors.end());
    EXPECT_LE(errors[errors.size() / 2], 2.0) << "median interval error";
    EXPECT_LE(errors.back(), 20.0) << "worst interval error";
    EXPECT_EQ(pulseWhilePlaying, 2);
    EXPECT_EQ(gui.sensor.breathStatus, 3);

    BrixChooseSource("simulated", error, sizeof error);
    SDL_Quit();
    gui = Gui();
}

} // namespace

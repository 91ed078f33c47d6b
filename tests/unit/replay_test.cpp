// Real heart rhythms through the link: a recording replayed through brix, the decoder and
// the pacer; beats that arrive in batches; closing and exiting with the link open.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "app/frame_advance.hpp"
#include "app/session_flow.hpp"
#include "app/shell.hpp"
#include "brix.h"
#include "link/pulse_output.hpp"
#include "brix_message.hpp"
#include "gui/gui.hpp"
#include "platform/events.hpp"
#include "support/test_support.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

std::vector<double> realIntervals(std::size_t count) {
    std::ifstream in(testdataDir() / "rr" / "real_rri.txt");
    std::vector<double> out;
    double ms = 0;
    while (out.size() < count && in >> ms)
        out.push_back(ms);
    return out;
}

class Replay : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        gui = Gui();
    }
    void TearDown() override {
        BrixClose();
        char error[256];
        BrixChooseSource("simulated", error, sizeof error);
        SDL_Quit();
        gui = Gui();
    }

    ScratchDirectory scratch;
    int window = 0; // any non-null handle
};

// The session measures each beat on the tick its message was posted with, so its intervals
// are the recording's, however late the frames come; a frame loop that stalls for 2.5 s in
// the middle still steps once for every beat, and the recording's end reads "searching".
TEST_F(Replay, SessionIntervalsAreTheRecordingsEvenAcrossAStalledFrame) {
    const std::vector<double> rr = realIntervals(14);
    ASSERT_EQ(rr.size(), 14u);
    {
        std::ofstream file("rest.txt");
        for (double ms : rr)
            file << ms << "\n";
    }
    char error[256] = "unset";
    ASSERT_TRUE(BrixChooseSource("replay:rest.txt", error, sizeof error)) << error;
    EXPECT_STREQ(error, "");
    gui.session.cyclesSetting = 60;
    startSession();
    const auto start = Clock::now();
    ASSERT_TRUE(BrixOpen(&window, 2024));

    double total = 500.0;
    for (double ms : rr)
        total += ms;
    bool stalled = false;
    while (msBetween(start, Clock::now()) < total) {
        Event event;
        while (pollEvent(event))
            windowProc(event);
        stepPacer();
        if (!stalled && msBetween(start, Clock::now()) > total / 2) {
            std::this_thread::sleep_for(milliseconds(2500)); // a frame that takes 2.5 s
            stalled = true;
        }
        std::this_thread::sleep_for(milliseconds(16));
    }

    // The first rise is not armed; the second is the session's first beat, so the recording's
    // intervals from the second on are the session's: each the recording's own line.
    const std::vector<float>& got = gui.session.beatIntervals;
    ASSERT_EQ(got.size(), rr.size() - 1) << "a beat was lost";
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], rr[i + 1], 0.5) << "beat " << i;
    // The first cycle (formula 1-4-2-2) closed at the tenth beat: its mean is that of its
    // own nine heartbeat intervals, not of the wait before the session.
    ASSERT_EQ(gui.session.cycleMeans.size(), 1u);
    double own = 0;
    for (std::size_t i = 2; i <= 10; ++i)
        own += rr[i];
    EXPECT_NEAR(gui.session.cycleMeans[0], own / 9, 2.0);
    EXPECT_EQ(gui.sensor.pulseStatus, 1);  // the recording has ended
    EXPECT_EQ(gui.sensor.breathStatus, 3); // no breath sensor: the panel stays as it was
}

// A strap sends its beats about once a second, several at once. Once the link has learned
// how it batches, they come out spaced by their own intervals on the program's clock, a
// constant delay after they happened, each carrying its interval; the first is a gap's.
TEST_F(Replay, BatchedBeatsComeOutEvenlySpacedAfterAConstantDelay) {
    brix::PulseOutput output(&window, 2024);
    const std::uint32_t tick0 = SDL_GetTicks() + 50; // beat k happens at tick0 + k * rr
    const double rr = 380;                           // about 158/min
    const int beats = 16;
    std::thread strap([&] {
        int k = 1;
        for (std::uint32_t second = 1; k <= beats; ++second) {
            while (SDL_GetTicks() < tick0 + 1000 * second)
                std::this_thread::sleep_for(milliseconds(1));
            std::vector<double> batch;
            for (; k <= beats && k * rr <= 1000.0 * second; ++k)
                batch.push_back(rr);
            output.batch(batch, tick0 + 1000 * second);
        }
    });
    struct Rise {
        double at; // after tick0
        std::uint32_t intervalMs;
        bool gap;
    };
    std::vector<Rise> rises;
    std::vector<double> falls;
    bool high = false;
    while (SDL_GetTicks() < tick0 + static_cast<std::uint32_t>(beats * rr) + 2500) {
        Event e;
        while (pollEvent(e)) {
            if (e.kind != Event::Kind::Sensor) continue;
            const bool pulse = (e.wParam & kPulseBit) != 0;
            const double at = static_cast<std::int32_t>(e.tick - tick0);
            if (pulse && !high)
                rises.push_back({at, beatIntervalOf(e.wParam), (e.lParam & kBeatGapBit) != 0});
            if (!pulse && high) falls.push_back(at);
            high = pulse;
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    strap.join();
    output.stop();
    // Learned from three notifications: the longest gap (1000 ms) and a margin. The beats
    // whose moment passed meanwhile are not shown; the first shown is a gap's.
    ASSERT_GE(rises.size(), 10u);
    const double delay = rises[0].at - rr * static_cast<double>(beats + 1 - rises.size());
    EXPECT_NEAR(delay, 1200.0, 2.0) << "the lag of the least late beat, 100 ms, plus 1100 ms";
    EXPECT_TRUE(rises[0].gap);
    for (std::size_t i = 1; i < rises.size(); ++i) {
        EXPECT_NEAR(rises[i].at - rises[i - 1].at, rr, 1.0) << "rise " << i;
        EXPECT_EQ(rises[i].intervalMs, 380u);
        EXPECT_FALSE(rises[i].gap);
    }
    ASSERT_EQ(falls.size(), rises.size());
    for (std::size_t i = 0; i < rises.size(); ++i) {
        EXPECT_GE(falls[i] - rises[i].at, 19.0) << "beat " << i;
        if (i + 1 < rises.size()) EXPECT_GE(rises[i + 1].at - falls[i], 19.0) << "beat " << i;
    }
}

// Closing stops a replay and its edge worker within 100 ms; nothing is posted after it.
TEST_F(Replay, CloseIsQuickAndNothingIsPostedAfterIt) {
    {
        std::ofstream file("steady.txt");
        file << "600\n";
    }
    char error[256];
    ASSERT_TRUE(BrixChooseSource("replay:steady.txt:loop", error, sizeof error)) << error;
    ASSERT_TRUE(BrixOpen(&window, 2024));
    std::this_thread::sleep_for(milliseconds(2300)); // the edge worker runs too
    const auto before = Clock::now();
    EXPECT_TRUE(BrixClose());
    EXPECT_LT(msBetween(before, Clock::now()), 100.0);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    std::this_thread::sleep_for(milliseconds(700));
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);
}

// A process that exits with the link open (exit() called from a library, such as X's
// handler of a lost display) ends at once and cleanly instead of aborting or hanging.
TEST_F(Replay, ExitWithTheLinkOpenEndsAtOnceAndCleanly) {
    std::ofstream("steady.txt") << "600\n";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto started = Clock::now();
    EXPECT_EXIT(
        {
            char error[256];
            BrixChooseSource("replay:steady.txt:loop", error, sizeof error);
            BrixOpen(&window, 2024);
            std::this_thread::sleep_for(milliseconds(1700)); // both workers wait now
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_LT(msBetween(started, Clock::now()), 1700.0 + 1000.0);
}

// A bad choice names its problem in one line and leaves the choice before it in place.
TEST_F(Replay, BadChoicesAreRefusedWithOneLine) {
    std::ofstream("junk.csv") << "time,hr\n0,70\n";
    const struct {
        const char* source;
        const char* error;
    } cases[] = {
        {"ble:AA:BB", "'AA:BB' is not a Bluetooth address (ble:AA:BB:CC:DD:EE:FF)"},
        {"", "unknown sensor '' (choose simulated, replay:FILE, replay:FILE:loop, ble or "
             "ble:ADDRESS)"},
        {"replay:", "replay needs a file: replay:FILE or replay:FILE:loop"},
        {"replay:missing.txt",
         "cannot read the recording 'missing.txt': No such file or directory"},
        {"replay:.", "cannot read the recording '.': it is a folder"},
        {"replay:junk.csv:loop", "junk.csv: line 1: no interval column in the header (name one "
                                 "rr, ibi, rr_ms or RR-interval)"},
    };
    for (const auto& c : cases) {
        char error[512] = "unset";
        EXPECT_FALSE(BrixChooseSource(c.source, error, sizeof error));
        EXPECT_STREQ(error, c.error);
    }
    char tiny[8];
    EXPECT_FALSE(BrixChooseSource("nonsense", tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "unknown");
    // Still the simulated device: its first message at once.
    ASSERT_TRUE(BrixOpen(&window, 2024));
    std::this_thread::sleep_for(milliseconds(100));
    SDL_Event e;
    ASSERT_EQ(SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_USEREVENT, SDL_USEREVENT), 1);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(e.user.data1), 0x10000u);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(e.user.data2), 0x490000);
}

} // namespace

// A 60-cycle session of the longest formula through a settable clock: frame time and memory
// stay flat while the beat lists grow to their longest.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <vector>

#include "app/frame_advance.hpp"
#include "app/program_frame.hpp"
#include "app/session_flow.hpp"
#include "gui/gui.hpp"
#include "gui/menu_layout.hpp"
#include "platform/ticks.hpp"
#include "support/test_support.hpp"
#include "training/sound_cues.hpp"

namespace {

// Resident set size in kilobytes.
long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double medianMs(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

TEST(Soak, LongestSessionKeepsFrameTimeAndMemoryFlat) {
    ScratchDirectory scratch;
    std::filesystem::create_directory_symlink(sourceDir() / "img", scratch.path() / "img");
    std::ofstream("menu.cfg") << "00000000";
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    int cues = 0;
    setCueObserver([&cues](const std::string&) { ++cues; });
    buildUserInterface(800, 600, nullptr);
    gui.sensor.onMessage(0x10000, 0x490000); // the device is ready: no warning sound every frame

    gui.session.phaseBeats = {99, 99, 99, 99};
    gui.session.cyclesSetting = 60;
    gui.pulseIntervalMode = 2; // the mode whose graph costs most per frame
    std::uint32_t now = 1000;
    setTickOverride(now);
    startSession();

    // Every beat is stepped as the frame driver does it; at three points of the session a
    // burst of whole frames is drawn and timed (drawing all 28,000 frames on a software
    // renderer would take minutes).
    constexpr int kBeats = 60 * 4 * 99 + 1; // cycle k closes with the first beat of the next
    constexpr int kBurst = 30;
    using Clock = std::chrono::steady_clock;
    auto drawBurst = [](std::vector<double>& times) {
        for (int f = 0; f < kBurst; ++f) {
            const auto start = Clock::now();
            advanceAndDrawFrame();
            glFinish();
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
    };
    std::vector<double> early, middle, late;
    long rssAfterWarmUp = 0;
    for (int beat = 1; beat <= kBeats; ++beat) {
        now += 950 + static_cast<std::uint32_t>(beat % 7) * 25; // an uneven pulse near 60
        setTickOverride(now);
        gui.sensor.pulseIndicator = 1.0f; // an armed rise, as the decoder leaves it
        gui.sensor.pendingBeats.push_back({now});
        if (beat == 400) {
            drawBurst(early);
            rssAfterWarmUp = residentKb();
        } else if (beat == kBeats / 2) {
            drawBurst(middle);
        } else if (beat == kBeats - 1) {
            drawBurst(late);
        } else if (beat == kBeats) {
            advanceAndDrawFrame(); // the frame in which the last cycle closes ends the session
        } else {
            stepPacer();
            gui.sensor.pulseIndicator = 0.5f;
        }
    }
    clearTickOverride();
    setCueObserver(nullptr);

    EXPECT_EQ(gui.session.beatIntervals.size(), static_cast<std::size_t>(kBeats));
    EXPECT_EQ(gui.session.cycleMeans.size(), 60u);
    EXPECT_EQ(gui.session.cyclesLeft, 0);
    EXPECT_EQ(gui.inMenu, 1); // the session ended and the menu is back
    EXPECT_EQ(cues, 60 * 4);
    // The graph of the last frames walks all 23,760 intervals; the frame must not grow with
    // them by more than a small factor (the rest of the screen dominates).
    const double earlyMs = medianMs(early), lateMs = medianMs(late);
    RecordProperty("middle_frame_ms", std::to_string(medianMs(middle)));
    RecordProperty("early_frame_ms", std::to_string(earlyMs));
    RecordProperty("late_frame_ms", std::to_string(lateMs));
    EXPECT_LT(lateMs, earlyMs * 3.0 + 2.0) << "early " << earlyMs << " ms, late " << lateMs << " ms";
    const long growthKb = residentKb() - rssAfterWarmUp;
    EXPECT_LT(growthKb, 16 * 1024) << "resident memory grew by " << growthKb << " kB";
}

} // namespace

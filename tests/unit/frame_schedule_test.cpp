// Frames that would repeat the picture are skipped: the settled menu, between beat flashes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/frame_schedule.hpp"
#include "app/program_frame.hpp"
#include "app/session_flow.hpp"
#include "app/shell.hpp"
#include "gui/gui.hpp"
#include "gui/menu_layout.hpp"
#include "platform/events.hpp"
#include "platform/ticks.hpp"
#include "platform/window.hpp"
#include "brix_message.hpp"
#include "support/test_support.hpp"

namespace {

class FrameSchedule : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok());
        scratch.linkImages();
        buildUserInterface(800, 600, mainWindowHandle());
        redrawNextFrame();
    }

    // Frames drawn from the next one on until the picture holds still (at most `limit`
    // advanced); the first is advanced whatever happened, as after a quarter second's wait.
    static int framesUntilStill(int limit = 2000) {
        int drawn = 0;
        for (int advanced = 0; advanced < limit; ++advanced) {
            if (runFrame()) ++drawn;
            if (pictureIsStill()) break;
        }
        return drawn;
    }

    static void sensorMessage(bool pulse) {
        Event e;
        e.kind = Event::Kind::Sensor;
        e.message = kSensorMessage;
        e.wParam = (std::uintptr_t{7} << 16) | (pulse ? kPulseBit : 0);
        e.lParam = std::intptr_t{(2 << 5) | (2 << 2)} << 16; // both sensors ready
        windowProc(e);
    }

    OffscreenGl context;
    ScratchDirectory scratch;
    CapturedMessageBoxes boxes;
};

TEST_F(FrameSchedule, StillMenuIsNotDrawnUntilSomethingChanges) {
    // The zoom-in and the first fades take a few hundred frames; then nothing is drawn.
    const int settling = framesUntilStill();
    EXPECT_GT(settling, 100);
    EXPECT_LT(settling, 1000);
    EXPECT_TRUE(pictureIsStill());
    EXPECT_FALSE(runFrame());

    // The menu's beat clock keeps following the time in skipped frames.
    setTickOverride(gui.session.lastBeatTick + 5000);
    EXPECT_FALSE(runFrame());
    EXPECT_EQ(gui.session.lastBeatTick, tickMs());
    clearTickOverride();

    // A message that changes nothing draws nothing; a pulse beat flashes the status word,
    // which fades within a few frames.
    sensorMessage(true); // the first rise after a reset only arms the pulse
    sensorMessage(false);
    framesUntilStill();
    sensorMessage(false);
    EXPECT_FALSE(runFrame());
    sensorMessage(true);
    const int flash = framesUntilStill();
    EXPECT_GE(flash, 5);
    EXPECT_LT(flash, 20);

    // Pointing at a widget lights it and its fade runs to the end; a lost picture is drawn
    // once.
    gui.onHover(-0.52f, 0.6f);
    EXPECT_TRUE(runFrame());
    gui.onHover(0.0f, -0.75f); // inside the frame, on no widget
    EXPECT_GT(framesUntilStill(), 1);
    redrawNextFrame();
    EXPECT_EQ(framesUntilStill(), 1);

    // The training screen moves every frame.
    startSession();
    EXPECT_EQ(framesUntilStill(300), 300);
}

// The loop sleeps in waitEvent while the picture is still or the frame is not yet due; a beat
// posted by the device's thread must end that sleep, not wait for its timeout.
TEST_F(FrameSchedule, SensorMessageFromAnotherThreadEndsTheWait) {
    Event drained;
    while (pollEvent(drained)) {
    }
    const auto start = std::chrono::steady_clock::now();
    std::thread device([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        postSensorEvent(kSensorMessage, std::uintptr_t{7} << 16, 0);
    });
    Event event;
    const bool woken = waitEvent(event, 5000);
    const auto waited = std::chrono::steady_clock::now() - start;
    device.join();
    EXPECT_TRUE(woken);
    EXPECT_EQ(event.kind, Event::Kind::Sensor);
    EXPECT_LT(waited, std::chrono::milliseconds(2500)) << "woken only by the timeout";
}

// Frames paced at 10 a second: a beat that comes 30 ms into a period is drawn then, not at
// the next slot 70 ms later.
TEST(FrameScheduleBeat, ABeatIsDrawnAtOnceNotAtTheNextSlot) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    WindowOptions options;
    options.windowed = options.hidden = true;
    options.fps = 10;
    ASSERT_EQ(createMainWindow(options), WindowResult::Ok);
    ScratchDirectory scratch;
    CapturedMessageBoxes boxes;
    scratch.linkImages();
    buildUserInterface(800, 600, mainWindowHandle());
    const auto post = [](bool pulse) {
        postSensorEvent(kSensorMessage, (std::uintptr_t{7} << 16) | (pulse ? kPulseBit : 0),
                        std::intptr_t{(2 << 5) | (2 << 2)} << 16);
    };
    post(true); // after a reset one rise and fall arm the pulse
    post(false);
    Event event;
    while (pollEvent(event)) dispatchEvent(event);
    redrawNextFrame();
    ASSERT_TRUE(runFrame());
    restartFramePace(); // however long the build took, this frame is on time
    swapWindowBuffers();
    ASSERT_GT(msUntilNextFrame(), 80.0);

    const auto start = std::chrono::steady_clock::now();
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        post(true);
    });
    bool due = false;
    while (!due && std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) {
        while (pollEvent(event)) dispatchEvent(event);
        if (!waitForFrame(event)) {
            if (event.kind != Event::Kind::None) dispatchEvent(event);
            continue;
        }
        due = !gui.sensor.pendingBeats.empty();
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    device.join();
    EXPECT_TRUE(due);
    EXPECT_LT(waited, std::chrono::milliseconds(65)) << "the beat waited for the next slot";
    destroyMainWindow();
}

} // namespace

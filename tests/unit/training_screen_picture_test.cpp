// The training screen as pixels: a whole program frame with the real menu build and images.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/program_frame.hpp"
#include "app/session_flow.hpp"
#include "gl_feedback.hpp"
#include "gui/gui.hpp"
#include "platform/ticks.hpp"
#include "gui/menu_layout.hpp"
#include "platform/window.hpp"
#include "render/hide_toggles.hpp"
#include "support/test_support.hpp"

namespace {

// Runs in a scratch folder that sees the repository's img/, as the program does from its
// working directory; the missing settings file only raises a captured message box.
class TrainingScreenPictureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok());
        scratch.linkImages();
        buildUserInterface(800, 600, mainWindowHandle());
        gui.sensor.breathStatus = 2;
        gui.sensor.pulseStatus = 2;
        startSession();
    }

    // One program frame (clear, beat step, panels, menu, training screen, overlay).
    static void drawOneFrame(bool beat = false) {
        if (beat) { // as the decoder leaves an armed rise
            gui.sensor.pulseIndicator = 1.0f;
            gui.sensor.pendingBeats.push_back({tickMs()});
        }
        advanceAndDrawFrame();
    }

    // Keeps the frame for a person to look at when HALVENT_FRAME_DIR names a folder.
    static void keepFrame(const std::string& name) {
        if (const char* dir = std::getenv("HALVENT_FRAME_DIR"))
            EXPECT_TRUE(saveFramePpm(std::string(dir) + "/" + name + ".ppm"));
    }

    static void hide(HideToggle t) { gui.smallButtons.at(static_cast<std::size_t>(t)).raised = 0; }

    OffscreenGl context;
    ScratchDirectory scratch;
    CapturedMessageBoxes boxes;
};

bool near(Rgba p, int r, int g, int b, int tolerance = 3) {
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance &&
           std::abs(p.b - b) <= tolerance;
}

// With the background hidden the screen behind the dials is the white clear colour, so the
// colours are known: a filled sector is the inhale tint at 0.9 over white, an empty dial
// shows the inner panel's tint at 0.3 over white.
TEST_F(TrainingScreenPictureTest, DialsFillAsCyclesAreDone) {
    hide(HideToggle::Background);
    gui.session.phase = 0;
    gui.trainingScreen.phaseStarted = false;
    const int x = 580, y = 210; // (0.45, 0.3): inside the right dial, right of its top
    const int mirrorX = 220;

    drawOneFrame();
    keepFrame("dials_empty");
    EXPECT_TRUE(near(readPixel(x, y), 237, 208, 202)) << readPixel(x, y).r;

    gui.session.cyclesLeft = gui.session.cyclesSetting / 2;
    drawOneFrame();
    keepFrame("dials_half");
    EXPECT_TRUE(near(readPixel(x, y), 200, 115, 97)) << readPixel(x, y).r;
    EXPECT_TRUE(near(readPixel(mirrorX, y), 200, 115, 97)) << readPixel(mirrorX, y).r;
    EXPECT_TRUE(near(readPixel(520, 270), 237, 208, 202)); // (0.3, 0.1): the undone half
}

// The inner panel's outline is drawn without blending: the tint shows opaque.
TEST_F(TrainingScreenPictureTest, InnerPanelOutlineIsOpaque) {
    hide(HideToggle::Background);
    gui.session.phase = 2;
    drawOneFrame();
    // (-0.71, 0.3) on the left edge of the panel, between the beat squares' rows.
    const Rgba a = readPixel(115, 210), b = readPixel(116, 210);
    EXPECT_TRUE(near(a, 79, 99, 194, 2) || near(b, 79, 99, 194, 2))
        << a.r << " " << a.g << " " << a.b << " / " << b.r << " " << b.g << " " << b.b;
}

TEST_F(TrainingScreenPictureTest, PromptShowsInRedOverTheScreen) {
    gui.sensor.pulseStatus = 1;
    drawOneFrame();
    keepFrame("prompt");
    // Somewhere along the first line's base, 160 pixels from the left and 210 from the top,
    // the bitmap text puts pure red.
    int red = 0;
    for (int x = 160; x < 640; ++x)
        for (int y = 150; y < 215; ++y) {
            const Rgba p = readPixel(x, y);
            if (p.r > 240 && p.g < 20 && p.b < 20) ++red;
        }
    EXPECT_GT(red, 50);
}

TEST_F(TrainingScreenPictureTest, PulseGraphCurve) {
    gui.pulseIntervalMode = 0;
    gui.session.beatIntervals = {4000.0f};
    for (int i = 0; i < 60; ++i)
        gui.session.beatIntervals.push_back(850.0f + 150.0f * std::sin(i / 4.0f));
    drawOneFrame();
    keepFrame("graph");
}

// A whole session in pictures: the frames are kept for a look when HALVENT_FRAME_DIR is set.
TEST_F(TrainingScreenPictureTest, SessionFramesAndTheReturnToTheMenu) {
    gui.session.cyclesLeft = 1;
    const std::int32_t beats = gui.session.phaseBeats[0] + gui.session.phaseBeats[1] +
                               gui.session.phaseBeats[2] + gui.session.phaseBeats[3];
    for (std::int32_t beat = 0; beat < beats; ++beat) {
        drawOneFrame(true);
        for (int i = 0; i < 30; ++i)
            drawOneFrame();
        keepFrame("session_beat" + std::to_string(beat + 1));
        EXPECT_EQ(gui.inMenu, 0);
    }
    drawOneFrame(true); // closes the only cycle
    EXPECT_EQ(gui.session.cyclesLeft, 0);
    EXPECT_EQ(gui.inMenu, 1);
    for (int i = 0; i < 30; ++i)
        drawOneFrame();
    keepFrame("menu_after_session");
}

} // namespace

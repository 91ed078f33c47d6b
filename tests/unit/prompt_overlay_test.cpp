// The sensor prompt: shown with the error cue while a session runs and the pulse is not ready.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/frame_advance.hpp"
#include "gl_feedback.hpp"
#include "gui/gui.hpp"
#include "render/prompt_overlay.hpp"
#include "render/text.hpp"
#include "support/test_support.hpp"
#include "training/sound_cues.hpp"

namespace {

class PromptOverlayTest : public SharedGlTest {
  protected:
    static void SetUpTestSuite() {
        SharedGlTest::SetUpTestSuite();
        if (contextOk()) createBitmapFont();
    }

    void SetUp() override {
        ASSERT_TRUE(contextOk());
        setCueObserver([this](const std::string& command) { cues.push_back(command); });
        gui.sensor = SensorState{};
        gui.session = TrainingSession{};
        gui.inMenu = 0;
        glEnable(GL_TEXTURE_2D);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }
    void TearDown() override { setCueObserver(nullptr); }

    // Advances one frame and draws its overlay where the frame shows it; true when it showed
    // (it leaves its red as the colour).
    bool overlayShown(std::vector<FeedbackPrimitive>* prims = nullptr) {
        const Frame frame = advanceFrame().frame;
        const auto out = captureFeedback([&] {
            if (frame.promptShown) drawPromptOverlay();
        });
        if (prims) *prims = out;
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        return colour[0] == 1.0f && colour[1] == 0.0f && colour[2] == 0.0f;
    }

    std::vector<std::string> cues;
};

TEST_F(PromptOverlayTest, ShownWithTheErrorCueEveryFrameWhilePulseIsNotReady) {
    for (const int status : {-1, 0, 1}) {
        SCOPED_TRACE(status);
        cues.clear();
        gui.sensor.pulseStatus = status;
        gui.sensor.breathStatus = 2;
        EXPECT_TRUE(overlayShown());
        EXPECT_TRUE(overlayShown());
        EXPECT_EQ(cues, (std::vector<std::string>{"play ./img/error.wav", "play ./img/error.wav"}));
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    }
}

TEST_F(PromptOverlayTest, NotShownWhenPulseIsReadyOrInTheMenu) {
    for (const int status : {2, 3}) {
        SCOPED_TRACE(status);
        gui.sensor.pulseStatus = status;
        gui.sensor.breathStatus = 0; // the breath sensor has no say
        std::vector<FeedbackPrimitive> prims;
        EXPECT_FALSE(overlayShown(&prims));
        EXPECT_TRUE(prims.empty());
    }
    gui.sensor.pulseStatus = -1;
    gui.inMenu = 1;
    std::vector<FeedbackPrimitive> prims;
    EXPECT_FALSE(overlayShown(&prims));
    EXPECT_TRUE(prims.empty());
    EXPECT_TRUE(cues.empty());
}

// The frame in which the last cycle has closed is the session's last: drawn without the
// warning or its sound, and the menu follows.
TEST_F(PromptOverlayTest, NotShownInTheFrameThatEndsTheSession) {
    gui.sensor.pulseStatus = 1;
    gui.session.cyclesLeft = 0;
    EXPECT_FALSE(overlayShown());
    EXPECT_TRUE(cues.empty());
    EXPECT_EQ(gui.inMenu, 1);
}

// Each line starts at its raster position in front of the training screen, in red.
TEST_F(PromptOverlayTest, ThreeRedLinesAtTheirRasterPositions) {
    if (!glIsList(kBitmapFontListBase + 'E')) GTEST_SKIP() << "no bitmap font in this build";
    gui.sensor.pulseStatus = 1;
    std::vector<FeedbackPrimitive> prims;
    ASSERT_TRUE(overlayShown(&prims));
    const float starts[3][2] = {{-0.6f, 0.3f}, {-0.5f, 0.0f}, {-0.95f, -0.3f}};
    for (const auto& start : starts) {
        bool found = false;
        for (const auto& p : prims) {
            if (p.kind != FeedbackPrimitive::Kind::Bitmap) continue;
            const FeedbackVertex& v = p.vertices[0];
            if (std::fabs(v.x - start[0]) < 1e-3f && std::fabs(v.y - start[1]) < 1e-3f) {
                found = true;
                EXPECT_NEAR(v.z, -0.2f, 1e-3f);
                EXPECT_EQ(v.r, 1.0f);
                EXPECT_EQ(v.g, 0.0f);
            }
        }
        EXPECT_TRUE(found) << start[0] << ", " << start[1];
    }
}

} // namespace

// The scenery of the training screen: lens mesh, turning ornaments, frame and centre picture.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>

#include "gl_feedback.hpp"
#include "gui/gui.hpp"
#include "support/test_support.hpp"

namespace {

constexpr float kEps = 1e-4f;

class SceneryTest : public SharedGlTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(contextOk());
        gui.session = TrainingSession{};
        gui.smallButtons.clear();
        gui.trainingScreen = TrainingScreenState{};
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
    }
};

// The drawn position of the mesh point with texture coordinate (i/49, j/49), if on screen.
std::optional<FeedbackVertex> meshPoint(const std::vector<FeedbackPrimitive>& prims, int i, int j) {
    for (const auto& p : prims)
        for (const auto& v : p.vertices)
            if (std::fabs(v.s - i / 49.0f) < 1e-6f && std::fabs(v.t - j / 49.0f) < 1e-6f) return v;
    return std::nullopt;
}

// Away from the lens the picture lies undistorted, s upwards and t to the left: grid point
// (a, b) = (-1.5 + 0.08 i, 1.5 - 0.08 j) shows at (b, a), turned by the phase read as degrees.
TEST_F(SceneryTest, MeshOutsideTheLensIsTheTurnedPicture) {
    const auto flat = captureFeedback([] { gui.drawBackgroundMesh(); });
    auto v = meshPoint(flat, 7, 31); // a = -0.94, b = -0.98, far from the lens at (0, 0.24)
    ASSERT_TRUE(v);
    EXPECT_NEAR(v->x, -0.98f, kEps);
    EXPECT_NEAR(v->y, -0.94f, kEps);
    EXPECT_NEAR(v->z, 0.02f, kEps);
    EXPECT_NEAR(v->r, 0.9f, kEps); // the inhale's near-white

    gui.trainingScreen.lensPhase = 90.0f; // a quarter turn clockwise: (x, y) -> (y, -x)
    const auto turned = captureFeedback([] { gui.drawBackgroundMesh(); });
    v = meshPoint(turned, 7, 31);
    ASSERT_TRUE(v);
    EXPECT_NEAR(v->x, -0.94f, kEps);
    EXPECT_NEAR(v->y, 0.98f, kEps);
}

// Inside the lens (radius 1.2 around (P, Q)) a point at distance r is pushed out to
// 1.2 (r / 1.2)^0.6 along its own direction; the lens centre shows at (Q, P).
TEST_F(SceneryTest, LensMagnifiesAroundItsCentre) {
    const auto prims = captureFeedback([] { gui.drawBackgroundMesh(); });
    const float q = 1.0f / 4.1f; // phase 0: P = 0, Q = cos 0 / 4.1
    for (const auto [i, j] : {std::pair{19, 16}, std::pair{22, 12}, std::pair{15, 20}}) {
        SCOPED_TRACE(::testing::Message() << i << ", " << j);
        const float a = -1.5f + 0.08f * i, b = 1.5f - 0.08f * j;
        const float dx = a, dy = b - q;
        const float r = std::sqrt(dx * dx + dy * dy);
        ASSERT_LT(r, 1.2f);
        const auto v = meshPoint(prims, i, j);
        ASSERT_TRUE(v);
        // Undistorted it would show at (b, a); the lens centre shows at (Q, 0).
        const float shownX = v->x - q, shownY = v->y;
        const float pushed = std::sqrt(shownX * shownX + shownY * shownY);
        EXPECT_NEAR(pushed, 1.2f * std::pow(r / 1.2f, 0.6f), 1e-4f);
        EXPECT_GT(pushed, r);
        EXPECT_NEAR(shownX * dx - shownY * dy, 0.0f, 1e-4f); // same direction as (dy, dx)
        EXPECT_GT(shownX * dy + shownY * dx, 0.0f);
    }
}

// The lens shows where the ornaments stood a frame before.
TEST_F(SceneryTest, OrnamentsTurnAPiHundredthPerFrame) {
    gui.trainingScreen.ornamentPhase = 1.0f;
    advanceTrainingScreen(gui.trainingScreen, gui.session, gui.sensor);
    const auto prims = captureFeedback([] { gui.drawCornerOrnaments(); });
    const float phi = 1.0f + 0.031415927f;
    EXPECT_NEAR(gui.trainingScreen.ornamentPhase, phi, 1e-6f);
    EXPECT_EQ(gui.trainingScreen.lensPhase, 1.0f);
    // Each ornament's first corner, at 45 degrees plus the phase, carries (1, 0); the
    // ornaments reach past the screen edge, so look for the corners rather than count.
    const float centres[4][2] = {
        {-0.895f, -0.865f}, {0.895f, -0.865f}, {0.895f, 0.865f}, {-0.895f, 0.865f}};
    for (const auto& c : centres) {
        const float x = c[0] + 0.16f * std::cos(phi + 0.785f);
        const float y = c[1] + 0.2f * std::sin(phi + 0.785f);
        if (std::fabs(y) > 1.0f) continue; // clipped
        bool found = false;
        for (const auto& p : prims)
            for (const auto& v : p.vertices)
                if (std::fabs(v.x - x) < kEps && std::fabs(v.y - y) < kEps) {
                    found = true;
                    EXPECT_EQ(v.s, 1.0f);
                    EXPECT_EQ(v.t, 0.0f);
                    EXPECT_EQ(v.a, 1.0f);
                    EXPECT_NEAR(v.z, -0.015f, kEps);
                }
        EXPECT_TRUE(found) << c[0] << ", " << c[1];
    }
}

TEST_F(SceneryTest, FrameCentrePictureFollowsThePacerToggle) {
    gui.session.phase = 2;
    const auto withPicture = captureFeedback([] { gui.drawScreenFrame(); });
    SmallButton b{};
    gui.smallButtons.assign(5, b);
    gui.smallButtons[3].raised = 0;
    const auto without = captureFeedback([] { gui.drawScreenFrame(); });
    ASSERT_EQ(withPicture.size(), without.size() + 2);

    // The picture is the fifth quad: s 0.5..1, t 0.5..0.999 over (-0.2..0.2, -0.05..0.45).
    for (const auto& v : withPicture[8].vertices) {
        EXPECT_LE(std::fabs(v.x), 0.2f + kEps);
        EXPECT_GE(v.y, -0.05f - kEps);
        EXPECT_LE(v.y, 0.45f + kEps);
        EXPECT_GE(v.s, 0.5f);
        EXPECT_GE(v.t, 0.5f);
        EXPECT_LE(v.t, 0.999f + 1e-6f);
        EXPECT_NEAR(v.b, 0.76f, kEps); // the exhale tint
        EXPECT_NEAR(v.a, 0.9f, kEps);
        EXPECT_NEAR(v.z, -0.02f, kEps);
    }
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_NEAR(colour[2], 0.76f, kEps);
}

} // namespace

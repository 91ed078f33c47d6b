// The pulse graph: rate labels, entries needed per mode, curve points, equal intervals.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>

#include "gl_feedback.hpp"
#include "gui/gui.hpp"
#include "platform/cp1251.hpp"
#include "render/pulse_graph.hpp"
#include "support/test_support.hpp"

namespace {

constexpr float kEps = 1e-4f;

TEST(RateLabel, ShowsThreeDigitsWithALeadingSpaceBelowAHundred) {
    EXPECT_EQ(labelRate(833.0f), 72);
    EXPECT_EQ(rateLabel(72).view(), " 72уд/мин"_cp1251v);
    EXPECT_EQ(labelRate(571.0f), 105);
    EXPECT_EQ(rateLabel(105).view(), "105уд/мин"_cp1251v);
    EXPECT_EQ(labelRate(8000.0f), 7);
    EXPECT_EQ(rateLabel(7).view(), " 07уд/мин"_cp1251v);
    EXPECT_EQ(labelRate(833.9f), 72); // whole milliseconds
}

TEST(RateLabel, HoldsOutOfRangeIntervalsToWhatThreeDigitsShow) {
    EXPECT_EQ(labelRate(0.0f), 999); // two beats within one tick
    EXPECT_EQ(labelRate(0.5f), 999);
    EXPECT_EQ(labelRate(50.0f), 999); // 1200 per minute
    EXPECT_EQ(labelRate(60.0f), 999); // exactly 1000
    EXPECT_EQ(labelRate(61.0f), 983);
    EXPECT_EQ(labelRate(60000.0f), 1);
    EXPECT_EQ(labelRate(70000.0f), 0);
    EXPECT_EQ(labelRate(4.0e9f), 0); // a wrapped tick difference
    EXPECT_EQ(labelRate(std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(labelRate(std::numeric_limits<float>::quiet_NaN()), 999);
    EXPECT_EQ(rateLabel(999).view(), "999уд/мин"_cp1251v);
    EXPECT_EQ(rateLabel(0).view(), " 00уд/мин"_cp1251v);
    EXPECT_EQ(rateLabel(5000).view(), "999уд/мин"_cp1251v);
    EXPECT_EQ(rateLabel(-4).view(), " 00уд/мин"_cp1251v);
}

// What the graph sends: the panel quad, the one line strip (frame and curve) and, once text
// output exists, the label glyphs.
struct Graph {
    int panelTriangles = 0;
    std::vector<FeedbackVertex> strip; // the strip's vertices in order
    bool connected = true;             // every segment starts where the previous one ended
};

Graph drawGraph() {
    Graph g;
    const auto prims = captureFeedback([] { gui.drawPulseGraph(); });
    for (const auto& p : prims) {
        if (p.kind == FeedbackPrimitive::Kind::Polygon && std::fabs(p.vertices[0].z + 0.01f) < kEps)
            ++g.panelTriangles;
        if (p.kind != FeedbackPrimitive::Kind::Line) continue;
        if (g.strip.empty()) {
            g.strip.push_back(p.vertices[0]);
        } else {
            const auto& last = g.strip.back();
            if (std::fabs(last.x - p.vertices[0].x) > kEps ||
                std::fabs(last.y - p.vertices[0].y) > kEps)
                g.connected = false;
        }
        g.strip.push_back(p.vertices[1]);
    }
    return g;
}

// The curve's points: the strip after its five frame vertices.
std::vector<FeedbackVertex> curve(const Graph& g) {
    if (g.strip.size() <= 5) return {};
    return {g.strip.begin() + 5, g.strip.end()};
}

class PulseGraphTest : public SharedGlTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(contextOk());
        gui.session = TrainingSession{};
        gui.smallButtons.clear();
        gui.inMenu = 0;
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
    }
};

TEST_F(PulseGraphTest, EachModeNeedsItsMinimumOfEntries) {
    struct Case {
        int mode;
        std::size_t means, intervals;
        bool frame;
        std::size_t points;
    };
    const Case cases[] = {
        {1, 1, 50, false, 0}, {1, 2, 0, true, 2},  {0, 0, 2, false, 0}, {0, 5, 3, true, 2},
        {2, 0, 2, false, 0},  {2, 0, 3, true, 0},  {2, 0, 10, true, 0}, {2, 0, 11, true, 1},
        {2, 0, 14, true, 4},  {7, 0, 11, true, 1}, // an unknown mode shows the ten-beat means
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "mode " << c.mode << " means " << c.means << " intervals " << c.intervals);
        gui.pulseIntervalMode = c.mode;
        gui.session.cycleMeans.assign(c.means, 800.0f);
        gui.session.beatIntervals.assign(c.intervals, 1000.0f);
        if (!gui.session.beatIntervals.empty()) gui.session.beatIntervals.back() = 500.0f;
        glEnable(GL_BLEND);
        const Graph g = drawGraph();
        EXPECT_EQ(g.panelTriangles, 2);
        EXPECT_EQ(g.strip.empty(), !c.frame);
        EXPECT_EQ(curve(g).size(), c.points);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_EQ(glIsEnabled(GL_BLEND), !c.frame);
    }
}

TEST_F(PulseGraphTest, FrameAndCurveAreOneStripScaledToThePanel) {
    gui.pulseIntervalMode = 1;
    gui.session.cycleMeans = {1000.0f, 500.0f, 750.0f, 1000.0f}; // 60, 120, 80, 60 per minute
    const Graph g = drawGraph();
    ASSERT_EQ(g.strip.size(), 9u);
    EXPECT_TRUE(g.connected);
    const float frame[5][2] = {
        {-0.6f, -0.1f}, {-0.6f, -0.6f}, {0.6f, -0.6f}, {0.6f, -0.1f}, {-0.6f, -0.1f}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(g.strip[i].x, frame[i][0], kEps);
        EXPECT_NEAR(g.strip[i].y, frame[i][1], kEps);
        EXPECT_NEAR(g.strip[i].z, -0.02f, kEps);
    }
    const float ys[4] = {-0.6f, -0.1f, -0.6f + 0.5f / 3.0f, -0.6f};
    const auto points = curve(g);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(points[i].x, -0.6f + 0.3f * i, kEps); // the x step is 1.2 / N
        EXPECT_NEAR(points[i].y, ys[i], kEps);
        EXPECT_NEAR(points[i].z, -0.05f, kEps);
        EXPECT_NEAR(points[i].b, 0.9f, kEps);
    }
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
}

TEST_F(PulseGraphTest, RawAndTenBeatModesSkipTheFirstInterval) {
    // The first interval (the pause before the session) would be the slowest rate.
    gui.session.beatIntervals = {9000.0f, 1000.0f, 1000.0f, 1000.0f, 1000.0f, 500.0f,
                                 500.0f,  500.0f,  500.0f,  500.0f,  500.0f};
    gui.pulseIntervalMode = 0;
    auto points = curve(drawGraph());
    ASSERT_EQ(points.size(), 10u);
    EXPECT_NEAR(points[0].x, -0.6f, kEps);
    EXPECT_NEAR(points[0].y, -0.6f, kEps); // 60 is the lowest shown rate
    EXPECT_NEAR(points[9].x, -0.6f + 1.2f * 9 / 11, kEps);
    EXPECT_NEAR(points[9].y, -0.1f, kEps);

    // Ten-beat means: 4 x 60 and 6 x 120 average 96.
    gui.pulseIntervalMode = 2;
    points = curve(drawGraph());
    ASSERT_EQ(points.size(), 1u);
    EXPECT_NEAR(points[0].x, -0.6f, kEps);
    EXPECT_NEAR(points[0].y, -0.3f, kEps);
}

TEST_F(PulseGraphTest, EqualOrZeroIntervalsDrawAFiniteCurveAlongTheMiddle) {
    const std::vector<float> lists[] = {
        {1000.0f, 1000.0f, 1000.0f, 1000.0f}, // the simulated device's steady pulse
        {0.0f, 0.0f, 0.0f, 0.0f},             // beats within one tick
        {1000.0f, 0.0f, 1000.0f, 4.0e9f},
    };
    for (const auto& list : lists) {
        for (int mode : {0, 1, 2}) {
            SCOPED_TRACE(::testing::Message() << "mode " << mode << " first " << list[1]);
            gui.pulseIntervalMode = mode;
            gui.session.cycleMeans = list;
            gui.session.beatIntervals = list;
            const Graph g = drawGraph();
            ASSERT_GE(g.strip.size(), 5u);
            for (const auto& v : g.strip) {
                EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
                EXPECT_GE(v.y, -0.6f - kEps);
                EXPECT_LE(v.y, -0.1f + kEps);
            }
        }
    }
    gui.pulseIntervalMode = 1;
    gui.session.cycleMeans = lists[0];
    for (const auto& v : curve(drawGraph()))
        EXPECT_NEAR(v.y, -0.35f, kEps);
}

// The highest rate (from the shortest interval) above the panel, the lowest below it.
TEST_F(PulseGraphTest, LabelsShowTheHighestAndLowestRate) {
    const std::pair<std::vector<float>, std::pair<std::string_view, std::string_view>> cases[] = {
        {{833.0f, 8000.0f}, {" 72уд/мин"_cp1251v, " 07уд/мин"_cp1251v}},
        {{1000.0f, 571.0f, 999.0f}, {"105уд/мин"_cp1251v, " 60уд/мин"_cp1251v}},
        {{0.0f, 60000.0f}, {"999уд/мин"_cp1251v, " 01уд/мин"_cp1251v}},
    };
    gui.pulseIntervalMode = 1;
    for (const auto& [means, labels] : cases) {
        gui.session.cycleMeans = means;
        const auto glyphs = feedbackGlyphs(captureFeedback([] { gui.drawPulseGraph(); }));
        EXPECT_EQ(glyphTextAt(glyphs, -0.08f), labels.first);
        EXPECT_EQ(glyphTextAt(glyphs, -0.62f), labels.second);
        ASSERT_EQ(glyphs.size(), 18u);
        EXPECT_NEAR(glyphs[0].left, 0.4f, kEps);
        EXPECT_NEAR(glyphs[0].colour.b, 0.9f, kEps);
        EXPECT_NEAR(glyphs[0].colour.g, 0.1f, kEps);
    }
}

TEST_F(PulseGraphTest, HiddenGraphOnlySwitchesTexturingOn) {
    SmallButton b{};
    gui.smallButtons.assign(5, b);
    gui.smallButtons[1].raised = 0;
    gui.pulseIntervalMode = 1;
    gui.session.cycleMeans = {1000.0f, 500.0f};
    const Graph g = drawGraph();
    EXPECT_EQ(g.panelTriangles, 0);
    EXPECT_TRUE(g.strip.empty());
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

} // namespace

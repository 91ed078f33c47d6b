// The training screen's frame: gate, phase starts, bars, squares, pacer, dials, toggles, end.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

#include "app/frame_advance.hpp"
#include "gl_feedback.hpp"
#include "gui/gui.hpp"
#include "platform/cp1251.hpp"
#include "render/hide_toggles.hpp"
#include "render/viewport.hpp"
#include "support/test_support.hpp"

namespace {

constexpr float kEps = 1e-4f;

bool near(float a, float b, float eps = kEps) {
    return std::fabs(a - b) <= eps;
}

// What each primitive of a frame belongs to, told apart by depth, kind and texture region.
enum class Element {
    Mesh,
    Word,
    Bars,
    Squares,
    Ornaments,
    Frame,
    CentrePicture,
    Disc,
    Ring,
    Dials,
    InnerPanel,
    Graph,
    Other
};

Element classify(const FeedbackPrimitive& p) {
    const FeedbackVertex& v = p.vertices.front();
    float maxT = 0.0f, maxAbsX = 0.0f;
    for (const auto& w : p.vertices) {
        maxT = std::max(maxT, w.t);
        maxAbsX = std::max(maxAbsX, std::fabs(w.x));
    }
    const bool polygon = p.kind == FeedbackPrimitive::Kind::Polygon;
    if (near(v.z, 0.02f)) return Element::Mesh;
    if (near(v.z, 0.01f)) return Element::InnerPanel;
    if (near(v.z, -0.001f)) return Element::Bars;
    if (near(v.z, -0.015f)) return maxT > 0.3f ? Element::Squares : Element::Ornaments;
    if (near(v.z, -0.02f) && polygon)
        return maxAbsX <= 0.2f + kEps ? Element::CentrePicture : Element::Frame;
    if (near(v.z, -0.06f)) return Element::Ring;
    if (near(v.z, -0.05f) && polygon) return maxAbsX < 0.2f ? Element::Disc : Element::Dials;
    if (near(v.z, -0.05f) && maxAbsX > 0.2f && v.y > -0.1f) return Element::Dials;
    if (near(v.z, -0.005f)) return v.y > 0.3f ? Element::Word : Element::Graph;
    if (v.y <= -0.1f + kEps) return Element::Graph; // panel, frame, curve
    return Element::Other;
}

std::map<Element, int> countElements(const std::vector<FeedbackPrimitive>& prims) {
    std::map<Element, int> counts;
    for (const auto& p : prims)
        ++counts[classify(p)];
    return counts;
}

std::vector<FeedbackPrimitive> only(const std::vector<FeedbackPrimitive>& prims, Element e) {
    std::vector<FeedbackPrimitive> out;
    for (const auto& p : prims)
        if (classify(p) == e) out.push_back(p);
    return out;
}

SmallButton toggle() {
    SmallButton b{};
    b.raised = 1;
    b.visible = 1;
    return b;
}

class TrainingScreenTest : public SharedGlTest {
  protected:

    void SetUp() override {
        ASSERT_TRUE(contextOk());
        gui.session = TrainingSession{};
        gui.session.cycleMeans = {1000.0f, 900.0f, 800.0f};
        gui.session.beatIntervals = {5000.0f, 1000.0f, 950.0f, 900.0f};
        gui.sensor = SensorState{};
        gui.sensor.breathStatus = 2;
        gui.sensor.pulseStatus = 2;
        gui.smallButtons.assign(5, toggle());
        gui.pulseIntervalMode = 1;
        gui.inMenu = 0;
        gui.trainingScreen = TrainingScreenState{};
    }

    // One frame as the program runs it: advanced, then drawn if it is a training frame.
    static std::vector<FeedbackPrimitive> frame() {
        const Frame advanced = advanceFrame().frame;
        return captureFeedback([&] {
            if (!advanced.menuShown) gui.drawTraining(Viewport{});
        });
    }

    static void startPhase(std::int32_t phase, std::int32_t beat) {
        gui.session.phase = phase;
        gui.session.beatInPhase = beat;
        gui.trainingScreen.phaseStarted = true;
    }

};

TEST_F(TrainingScreenTest, InMenuIssuesNothingAndChangesNothing) {
    gui.inMenu = 1;
    TrainingScreenState& state = gui.trainingScreen;
    state.ornamentPhase = 0.7f;
    state.phaseStarted = true;
    state.phaseGlow = {0.5f, 0.5f, 0.5f, 0.5f};
    gui.session.cyclesLeft = 0;
    state.barFill = 0.3f;
    state.pacerRadius = 0.1f;
    state.breathRadius = 0.05f;
    glDisable(GL_BLEND);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);

    EXPECT_TRUE(frame().empty());

    EXPECT_EQ(state.ornamentPhase, 0.7f);
    EXPECT_TRUE(state.phaseStarted);
    EXPECT_EQ(state.phaseGlow[0], 0.5f);
    EXPECT_EQ(state.barFill, 0.3f);
    EXPECT_EQ(state.pacerRadius, 0.1f);
    EXPECT_EQ(state.breathRadius, 0.05f);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0.25f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

// At a phase start the bar and the disc jump to the start of their travel; with no beat of
// the phase counted yet they stay there, so the seeds show exactly.
TEST_F(TrainingScreenTest, FirstFrameOfEachPhaseReseedsAndConsumesTheFlag) {
    const float fills[4] = {-0.9f, -0.9f, 0.9f, 0.9f};
    const float radii[4] = {0.01f, 0.19f, 0.19f, 0.01f};
    for (std::int32_t phase = 0; phase < 4; ++phase) {
        SCOPED_TRACE(phase);
        gui.trainingScreen.barFill = 0.3f;
        gui.trainingScreen.pacerRadius = 0.1f;
        startPhase(phase, 0);
        const auto prims = frame();
        EXPECT_FALSE(gui.trainingScreen.phaseStarted);
        EXPECT_FLOAT_EQ(gui.trainingScreen.barFill, fills[phase]);
        EXPECT_FLOAT_EQ(gui.trainingScreen.pacerRadius, radii[phase]);
        // The disc's first vertex is straight above its centre (0, 0.2).
        const auto disc = only(prims, Element::Disc);
        ASSERT_FALSE(disc.empty());
        float top = -1.0f;
        for (const auto& p : disc)
            for (const auto& v : p.vertices)
                top = std::max(top, v.y);
        EXPECT_NEAR(top, 0.2f + radii[phase], kEps);
    }
}

TEST_F(TrainingScreenTest, PhaseWordInThePhaseTint) {
    const std::string_view words[4] = {"Вдох"_cp1251v, "Пауза"_cp1251v, "Выдох"_cp1251v,
                                       "Пауза"_cp1251v};
    const float lefts[4] = {-0.25f, -0.3f, -0.3f, -0.3f};
    const float reds[4] = {0.76f, 0.31f, 0.31f, 0.31f};
    for (std::int32_t phase = 0; phase < 4; ++phase) {
        SCOPED_TRACE(phase);
        gui.session.phase = phase;
        const auto glyphs = feedbackGlyphs(frame());
        EXPECT_EQ(glyphTextAt(glyphs, 0.6f), words[phase]);
        ASSERT_FALSE(glyphs.empty());
        EXPECT_NEAR(glyphs[0].left, lefts[phase], kEps);
        EXPECT_NEAR(glyphs[0].colour.r, reds[phase], kEps);
        EXPECT_NEAR(glyphs[0].colour.a, 0.9f, kEps);
    }
    gui.session.phase = 5; // no word for an unknown phase
    gui.session.cycleMeans.clear();
    EXPECT_TRUE(feedbackGlyphs(frame()).empty());
}

// The current bar's moving end is drawn where barFill stands and eases a tenth of the way
// toward the beats per frame; the other bars are drawn full, the current one glows.
TEST_F(TrainingScreenTest, CurrentBarEasesTowardTheBeatsAndOthersAreFull) {
    gui.session.phaseBeats = {4, 4, 2, 2};
    gui.trainingScreen.phaseGlow = {0.5f, 0.5f, 0.5f, 0.05f};
    startPhase(1, 1); // top bar, target -0.9 + 1.8/4 = -0.45
    auto prims = frame();
    EXPECT_NEAR(gui.trainingScreen.barFill, -0.9f + 0.045f, 1e-6);
    EXPECT_EQ(gui.trainingScreen.phaseGlow[1], 1.0f);
    EXPECT_NEAR(gui.trainingScreen.phaseGlow[0], 0.49f, 1e-6);
    EXPECT_LE(gui.trainingScreen.phaseGlow[3], 0.05f);

    // Bars by colour: left red, top green above, right blue, bottom green below.
    float topEnd = -2.0f, leftEnd = -2.0f, rightEnd = 2.0f;
    for (const auto& p : only(prims, Element::Bars)) {
        for (const auto& v : p.vertices) {
            if (v.r == 1.0f) leftEnd = std::max(leftEnd, v.y);
            if (v.b == 1.0f) rightEnd = std::min(rightEnd, v.y);
            if (v.g == 1.0f && v.y > 0.0f) {
                topEnd = std::max(topEnd, v.x);
                EXPECT_FLOAT_EQ(v.a, 1.0f); // the glowing bar
            }
        }
    }
    EXPECT_NEAR(topEnd, gui.trainingScreen.barFill, kEps);
    EXPECT_NEAR(leftEnd, 0.9f, kEps);
    EXPECT_NEAR(rightEnd, -0.9f, kEps);

    for (int i = 0; i < 300; ++i)
        frame();
    EXPECT_NEAR(gui.trainingScreen.barFill, -0.45f, 1e-3);

    // A bar ahead of its target is not pulled back.
    gui.trainingScreen.barFill = 0.5f;
    frame();
    EXPECT_EQ(gui.trainingScreen.barFill, 0.5f);
}

TEST_F(TrainingScreenTest, PacerGrowsOverInhaleHoldsInPausesShrinksOverExhale) {
    gui.session.phaseBeats = {2, 2, 2, 2};
    startPhase(0, 2); // the inhale's last beat: target 0.2
    for (int i = 0; i < 400; ++i)
        frame();
    EXPECT_NEAR(gui.trainingScreen.pacerRadius, 0.2f, 1e-3);

    gui.trainingScreen.pacerRadius = 0.15f;
    gui.session.phase = 1;
    for (int i = 0; i < 50; ++i)
        frame();
    EXPECT_EQ(gui.trainingScreen.pacerRadius, 0.15f);
    gui.session.phase = 3;
    for (int i = 0; i < 50; ++i)
        frame();
    EXPECT_EQ(gui.trainingScreen.pacerRadius, 0.15f);

    startPhase(2, 1); // seeded at 0.19, target 0.01 + 0.19/2
    frame();
    EXPECT_LT(gui.trainingScreen.pacerRadius, 0.19f);
    for (int i = 0; i < 400; ++i)
        frame();
    EXPECT_NEAR(gui.trainingScreen.pacerRadius, 0.105f, 1e-3);
}

TEST_F(TrainingScreenTest, BreathRingFollowsTheBreathAndShowsOnlyWhenTheSensorIsReady) {
    TrainingScreenState& state = gui.trainingScreen;
    gui.session.phase = 1;
    gui.sensor.breathIndicator = 1.0f; // breathing in during a pause
    state.breathRadius = 0.5f;
    auto prims = frame();
    EXPECT_NEAR(state.breathRadius, 0.19f, 1e-6);
    EXPECT_FALSE(only(prims, Element::Ring).empty());

    gui.sensor.breathIndicator = 0.5f; // breathing out: down to the smallest ring
    frame();
    EXPECT_NEAR(state.breathRadius, 0.15f, 1e-6);
    for (int i = 0; i < 10; ++i)
        frame();
    EXPECT_NEAR(state.breathRadius, -0.01f, 1e-6);

    // Breathing with the pacer puts the ring on the disc's edge.
    gui.session.phase = 0;
    gui.sensor.breathIndicator = 1.0f;
    state.pacerRadius = 0.12f;
    frame();
    EXPECT_EQ(state.breathRadius, state.pacerRadius);

    // Not ready: no ring, but the radius still follows the breath.
    gui.sensor.breathStatus = 1;
    gui.session.phase = 3;
    prims = frame();
    EXPECT_TRUE(only(prims, Element::Ring).empty());
    EXPECT_NEAR(state.breathRadius, 0.14f, 1e-6);
    EXPECT_FALSE(only(prims, Element::Disc).empty());
    // A source with no breath sensor (code 3, a recording) draws no ring either.
    gui.sensor.breathStatus = 3;
    EXPECT_TRUE(only(frame(), Element::Ring).empty());
}

// Each square is two triangles; returns the centres of the squares of one row in drawing
// order with their alpha.
struct Square {
    float x, y, alpha;
};
std::vector<Square> squaresOf(const std::vector<FeedbackPrimitive>& prims, float red, float green,
                              float blue) {
    std::vector<Square> out;
    const auto squares = only(prims, Element::Squares);
    for (std::size_t i = 0; i + 1 < squares.size(); i += 2) {
        const auto& v = squares[i].vertices;
        if (!near(v[0].r, red) || !near(v[0].g, green) || !near(v[0].b, blue)) continue;
        float sx = 0, sy = 0;
        for (const auto& w : squares[i].vertices)
            sx += w.x, sy += w.y;
        for (const auto& w : squares[i + 1].vertices)
            sx += w.x, sy += w.y;
        // Both triangles share the quad's diagonal, so the six corners average to its centre.
        out.push_back({sx / 6, sy / 6, v[0].a});
    }
    return out;
}

TEST_F(TrainingScreenTest, BeatSquaresSpreadOverTheRowsAndLightPassedBeats) {
    gui.session.phaseBeats = {1, 1, 3, 0};
    startPhase(2, 2);
    const auto prims = frame();
    EXPECT_EQ(only(prims, Element::Squares).size(), 2u * 5u); // the empty pause has none

    // One-beat phases: a single square at the start of the row, not in the middle.
    const auto inhale = squaresOf(prims, 1, 0, 0);
    ASSERT_EQ(inhale.size(), 1u);
    EXPECT_NEAR(inhale[0].x, -0.75f, kEps);
    EXPECT_NEAR(inhale[0].y, -0.5f, kEps);
    EXPECT_FLOAT_EQ(inhale[0].alpha, 0.4f);
    const auto pause = squaresOf(prims, 0, 1, 0);
    ASSERT_EQ(pause.size(), 1u);
    EXPECT_NEAR(pause[0].x, -0.5f, kEps);
    EXPECT_NEAR(pause[0].y, 0.7f, kEps);

    // The exhale row runs downwards, its first two beats lit.
    const auto exhale = squaresOf(prims, 0, 0, 1);
    ASSERT_EQ(exhale.size(), 3u);
    const float ys[3] = {0.5f, 0.0f, -0.5f};
    const float alphas[3] = {1.0f, 1.0f, 0.4f};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(exhale[i].x, 0.75f, kEps);
        EXPECT_NEAR(exhale[i].y, ys[i], kEps);
        EXPECT_FLOAT_EQ(exhale[i].alpha, alphas[i]);
    }
}

// How far a sector reaches: the largest angle from the top (clockwise for the right dial,
// counter-clockwise for the left) among its rim vertices; -1 without a sector.
float sectorSweep(const std::vector<FeedbackPrimitive>& prims, float centreX) {
    float sweep = -1.0f;
    for (const auto& p : only(prims, Element::Dials)) {
        if (p.kind != FeedbackPrimitive::Kind::Polygon) continue;
        for (const auto& v : p.vertices) {
            const float side = centreX > 0 ? 1.0f : -1.0f;
            if (v.x * side < 0.0f || (near(v.x, centreX) && near(v.y, 0.2f))) continue;
            float a = std::atan2(side * (v.x - centreX) / 0.1875f, (v.y - 0.2f) / 0.25f);
            if (a < -1e-3f) a += 6.2831853f;
            sweep = std::max(sweep, a);
        }
    }
    return sweep;
}

TEST_F(TrainingScreenTest, DialSectorsShowTheShareOfCyclesDone) {
    gui.smallButtons[static_cast<std::size_t>(HideToggle::Pacer)].raised = 0;
    gui.session.cyclesSetting = 20;

    gui.session.cyclesLeft = 20;
    auto prims = frame();
    EXPECT_EQ(sectorSweep(prims, 0.4f), -1.0f); // the outlines only
    EXPECT_FALSE(only(prims, Element::Dials).empty());

    gui.session.cyclesLeft = 10;
    prims = frame();
    EXPECT_NEAR(sectorSweep(prims, 0.4f), 3.10f, 1e-3); // last angle step below pi
    EXPECT_NEAR(sectorSweep(prims, -0.4f), 3.10f, 1e-3);
    for (const auto& p : only(prims, Element::Dials))
        if (p.kind == FeedbackPrimitive::Kind::Polygon)
            for (const auto& v : p.vertices)
                EXPECT_GE(std::fabs(v.x), 0.4f - kEps);

    gui.session.cyclesLeft = 0;
    prims = frame();
    EXPECT_NEAR(sectorSweep(prims, 0.4f), 6.25f, 1e-3);
    EXPECT_NEAR(sectorSweep(prims, -0.4f), 6.25f, 1e-3);
}

TEST_F(TrainingScreenTest, DialsSurviveASessionLengthOfZero) {
    gui.session.cyclesSetting = 0;
    gui.session.cyclesLeft = -3;
    const auto prims = frame();
    EXPECT_EQ(sectorSweep(prims, 0.4f), -1.0f);
    EXPECT_EQ(gui.inMenu, 1);
}

// Each toggle removes exactly its own element, and everything behind it keeps moving.
TEST_F(TrainingScreenTest, HideTogglesHideExactlyTheirElementWhileStateMoves) {
    const std::pair<HideToggle, std::vector<Element>> cases[] = {
        {HideToggle::CycleDials, {Element::Dials}},
        {HideToggle::PulseGraph, {Element::Graph}},
        {HideToggle::Background, {Element::Mesh}},
        {HideToggle::Pacer, {Element::CentrePicture, Element::Disc, Element::Ring}},
        {HideToggle::BeatSquares, {Element::Squares}},
    };
    const auto run = [](std::size_t hidden) {
        gui.session = TrainingSession{};
        gui.session.cycleMeans = {1000.0f, 900.0f, 800.0f};
        gui.session.phaseBeats = {3, 1, 3, 1};
        gui.session.cyclesLeft = 7;
        gui.sensor.breathIndicator = 1.0f;
        gui.trainingScreen = TrainingScreenState{};
        gui.smallButtons.assign(5, toggle());
        if (hidden < 5) gui.smallButtons[hidden].raised = 0;
        startPhase(0, 1);
        std::vector<FeedbackPrimitive> prims;
        for (int i = 0; i < 5; ++i)
            prims = frame();
        gui.session.beatInPhase = 2;
        for (int i = 0; i < 5; ++i)
            prims = frame();
        return prims;
    };

    const auto all = countElements(run(5));
    const TrainingScreenState shownState = gui.trainingScreen;
    const float shownPhase = gui.trainingScreen.ornamentPhase;
    for (const auto& [t, gone] : cases) {
        SCOPED_TRACE(static_cast<int>(t));
        for (Element e : gone)
            EXPECT_GT(all.count(e), 0u) << static_cast<int>(e);
        auto counts = countElements(run(static_cast<std::size_t>(t)));
        for (const auto& [element, n] : all) {
            const bool hidden = std::find(gone.begin(), gone.end(), element) != gone.end();
            EXPECT_GT(n, 0) << static_cast<int>(element);
            EXPECT_EQ(counts[element], hidden ? 0 : n) << static_cast<int>(element);
        }
        EXPECT_EQ(gui.trainingScreen.barFill, shownState.barFill);
        EXPECT_EQ(gui.trainingScreen.pacerRadius, shownState.pacerRadius);
        EXPECT_EQ(gui.trainingScreen.breathRadius, shownState.breathRadius);
        EXPECT_EQ(gui.trainingScreen.ornamentPhase, shownPhase);
    }
    EXPECT_NEAR(shownPhase, 10 * 0.031415927f, 1e-5);
}

TEST_F(TrainingScreenTest, WithoutTheToggleButtonsEverythingShows) {
    gui.smallButtons.clear();
    const auto counts = countElements(frame());
    for (Element e : {Element::Mesh, Element::Squares, Element::Disc, Element::Dials,
                      Element::CentrePicture, Element::Graph})
        EXPECT_GT(counts.count(e) ? counts.at(e) : 0, 0) << static_cast<int>(e);
}

// The frame in which the last cycle closes is still drawn in full; the menu shows from the
// next frame on.
TEST_F(TrainingScreenTest, SessionEndsAtTheEndOfTheFrameWhereTheLastCycleCloses) {
    gui.session.phaseBeats = {1, 0, 1, 0};
    gui.session.cyclesLeft = 1;
    startPhase(2, 1);
    frame();
    EXPECT_EQ(gui.inMenu, 0);

    gui.session.onBeat(false); // closes the last cycle
    ASSERT_EQ(gui.session.cyclesLeft, 0);
    const auto last = countElements(frame());
    EXPECT_EQ(gui.inMenu, 1);
    EXPECT_GT(last.at(Element::Bars), 0);
    EXPECT_GT(last.at(Element::Disc), 0);
    EXPECT_GT(last.at(Element::Graph), 0);
    EXPECT_GT(last.at(Element::InnerPanel), 0);

    EXPECT_TRUE(frame().empty());
}

TEST_F(TrainingScreenTest, LeavesTexturingOnAndBlendingAsTheGraphLeftIt) {
    gui.pulseIntervalMode = 1;
    frame();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND)); // the curve was drawn
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));

    gui.session.cycleMeans.clear();
    frame();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
}

} // namespace

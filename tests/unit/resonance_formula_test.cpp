// Training at the breathing-rate test's result: the formula follows the heart rate measured
// before each session, until the user sets a formula of their own.
#include <gtest/gtest.h>

#include "app/resonance_formula.hpp"
#include "gui/gui.hpp"
#include "sensor/sensor_state.hpp"

TEST(ResonanceFormula, FollowsTheHeartRateUntilTheUserChangesTheFormula) {
    trainAtRate(5.5, {4, 0, 7, 0});
    applyRateFormula(); // no heart rate measured yet: the test's own formula stays
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{4, 0, 7, 0}));

    // 75 beats a minute, with a beat across a gap and an artefact that must not count.
    std::uint32_t tick = 1000;
    for (int i = 0; i < 16; ++i) noteHeartBeat({tick += 800, 800, true});
    noteHeartBeat({tick += 5000, 5000, false});
    noteHeartBeat({tick += 250, 250, true});
    applyRateFormula(); // 75 / 5.5 = 13.6: 14 beats a cycle, 6 in and 8 out
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{6, 0, 8, 0}));

    gui.session.phaseBeats[1] = 2; // a pause added with the menu's stepper
    applyRateFormula();
    applyRateFormula();
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{6, 2, 8, 0}));
}

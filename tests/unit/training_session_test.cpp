// The pacer: beat steps, the cues and phase starts they report, cycle closing, halting,
// restarts and the tick wrap.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/session_flow.hpp"
#include "brix_message.hpp"
#include "gui/gui.hpp"
#include "platform/ticks.hpp"
#include "training/menu_actions.hpp"
#include "training/presets.hpp"
#include "training/row_actions.hpp"

namespace {

// A fresh Gui with the start-up session (goal 7, level 1), a settable clock, and the cues the
// pacer's steps ask for.
class Pacer : public ::testing::Test {
  protected:
    void SetUp() override {
        setTickOverride(now);
        gui = Gui();
        gui.session.applyGoal(7, 1);
    }
    void TearDown() override {
        clearTickOverride();
        gui = Gui();
    }

    // One pulse beat `ms` after the previous one, as the frame driver delivers it.
    PacerStep beatAfter(std::uint32_t ms) {
        now += ms;
        setTickOverride(now);
        ++beat;
        const PacerStep step = gui.session.onBeat(gui.inMenu != 0);
        if (step.cue) cues.emplace_back(beat, step.cue);
        return step;
    }
    void beats(int count) {
        for (int i = 0; i < count; ++i)
            beatAfter(1000);
    }
    std::vector<std::pair<int, std::string>> cuesOf(int firstBeat, int lastBeat) const {
        std::vector<std::pair<int, std::string>> out;
        for (const auto& cue : cues)
            if (cue.first >= firstBeat && cue.first <= lastBeat) out.push_back(cue);
        return out;
    }

    std::uint32_t now = 50000;
    int beat = 0; // beats since the last restart
    std::vector<std::pair<int, std::string>> cues;
};

using Cues = std::vector<std::pair<int, std::string>>;

TEST_F(Pacer, StartUpFormulaCuesPhasesAndClosesTenCycles) {
    startSession();
    EXPECT_EQ(gui.inMenu, 0);
    EXPECT_TRUE(gui.trainingScreen.phaseStarted);

    beats(1);
    EXPECT_TRUE(cues.empty()) << "the first inhale begins silently";
    EXPECT_EQ(gui.session.beatInPhase, 1);
    EXPECT_EQ(gui.session.phase, 0);

    beats(9);
    EXPECT_EQ(cuesOf(1, 10), (Cues{{2, "play ./img/2.wav"},
                                   {6, "play ./img/3.wav"},
                                   {8, "play ./img/4.wav"},
                                   {10, "play ./img/1.wav"}}));
    // The wait before the first beat is no heartbeat: the first mean is of the nine others.
    ASSERT_EQ(gui.session.cycleMeans.size(), 1u);
    EXPECT_FLOAT_EQ(gui.session.cycleMeans[0], 1000.0f);
    EXPECT_EQ(gui.session.cyclesLeft, 9);
    EXPECT_EQ(gui.session.phase, 0);
    EXPECT_EQ(gui.session.beatInPhase, 1);

    // Cycle k closes at beat 9k + 1.
    beats(80);
    EXPECT_EQ(gui.session.cyclesLeft, 1);
    EXPECT_EQ(gui.session.cycleMeans.size(), 9u);
    const PacerStep last = beatAfter(1000);
    EXPECT_TRUE(last.phaseStarted && last.cycleStarted && last.sessionOver);
    EXPECT_EQ(last.intervalMs, 1000u);
    EXPECT_EQ(beat, 91);
    EXPECT_EQ(gui.session.cyclesLeft, 0);
    EXPECT_EQ(gui.session.cycleMeans.size(), 10u);
    EXPECT_EQ(gui.session.beatIntervals.size(), 91u);
    for (std::size_t k = 1; k < 10; ++k)
        EXPECT_FLOAT_EQ(gui.session.cycleMeans[k], 1000.0f);
    for (int k = 1; k <= 10; ++k)
        EXPECT_EQ(cuesOf(9 * k + 1, 9 * k + 1), (Cues{{9 * k + 1, "play ./img/1.wav"}})) << k;
    EXPECT_EQ(cues.size(), 40u);
}

TEST_F(Pacer, ZeroPausesAreSkippedWithTheNextPhasesCue) {
    gui.session.phaseBeats = {3, 0, 3, 0};
    startSession();
    beats(13);
    EXPECT_EQ(cues, (Cues{{4, "play ./img/3.wav"},
                          {7, "play ./img/1.wav"},
                          {10, "play ./img/3.wav"},
                          {13, "play ./img/1.wav"}}));
    ASSERT_EQ(gui.session.cycleMeans.size(), 2u);
    EXPECT_FLOAT_EQ(gui.session.cycleMeans[0], 1000.0f);
    EXPECT_FLOAT_EQ(gui.session.cycleMeans[1], 1000.0f);
    EXPECT_EQ(gui.session.phase, 0);

    // "Raise the tone" at level 1 has no second pause: the inhale follows the exhale directly.
    cues.clear();
    goalRowClicked(10);
    ASSERT_EQ(gui.session.phaseBeats, (BreathFormula{4, 2, 4, 0}));
    startSession();
    beat = 0;
    beats(11);
    EXPECT_EQ(cues,
              (Cues{{5, "play ./img/2.wav"}, {7, "play ./img/3.wav"}, {11, "play ./img/1.wav"}}));
    EXPECT_EQ(gui.session.cycleMeans.size(), 1u);
}

// Each cycle's mean is the mean of its own heartbeat intervals: not the wait before the
// first beat, nor what a halted session had measured when Space restarted it.
TEST_F(Pacer, UnevenBeatsGiveTheCycleMeanOverItsOwnIntervals) {
    gui.session.phaseBeats = {1, 0, 1, 0};
    startSession();
    beatAfter(4000); // the wait before the session
    beatAfter(900);  // exhale
    beatAfter(1200); // inhale: the first cycle closes
    beatAfter(500);
    beatAfter(700);
    EXPECT_EQ(gui.session.cycleMeans, (std::vector<float>{1050.0f, 600.0f}));
    EXPECT_EQ(gui.session.beatIntervals, (std::vector<float>{4000, 900, 1200, 500, 700}));

    beatAfter(800); // half a cycle, then Enter, a long wait and Space
    gui.inMenu = 1;
    now += 20000;
    startSession();
    beatAfter(650);
    beatAfter(610);
    beatAfter(590);
    EXPECT_EQ(gui.session.cycleMeans, (std::vector<float>{600.0f}));
}

TEST_F(Pacer, BeatsWhileHaltedChangeNothing) {
    startSession();
    beats(4);
    gui.inMenu = 1; // Enter
    const TrainingSession before = gui.session;
    cues.clear();
    beats(25);
    EXPECT_TRUE(cues.empty());
    EXPECT_EQ(gui.session.beatInPhase, before.beatInPhase);
    EXPECT_EQ(gui.session.phase, before.phase);
    EXPECT_EQ(gui.session.lastBeatTick, before.lastBeatTick);
    EXPECT_EQ(gui.session.cycleTimeMs, before.cycleTimeMs);
    EXPECT_EQ(gui.session.cyclesLeft, before.cyclesLeft);
    EXPECT_EQ(gui.session.beatIntervals, before.beatIntervals);
    EXPECT_EQ(gui.session.cycleMeans, before.cycleMeans);
}

TEST_F(Pacer, RestartAfterEnterInMidPhaseBeginsAtTheFirstBeat) {
    startSession();
    beats(13); // second cycle, in the pause after the inhale
    ASSERT_EQ(gui.session.phase, 1);
    ASSERT_EQ(gui.session.beatInPhase, 3);
    gui.inMenu = 1; // Enter
    now += 7000;    // the user waits in the menu
    startSession(); // Space
    EXPECT_EQ(gui.inMenu, 0);
    EXPECT_EQ(gui.session.phase, 0);
    EXPECT_EQ(gui.session.beatInPhase, 0);
    EXPECT_EQ(gui.session.cyclesLeft, gui.session.cyclesSetting);
    EXPECT_TRUE(gui.session.beatIntervals.empty());
    EXPECT_TRUE(gui.session.cycleMeans.empty());

    cues.clear();
    beat = 0;
    beatAfter(500);
    // The first interval spans the whole pause since the last measured beat.
    ASSERT_EQ(gui.session.beatIntervals.size(), 1u);
    EXPECT_FLOAT_EQ(gui.session.beatIntervals[0], 7500.0f);
    EXPECT_TRUE(cues.empty());
    beats(1);
    EXPECT_EQ(cues, (Cues{{2, "play ./img/2.wav"}}));
}

TEST_F(Pacer, TickWrapBetweenTwoBeatsStillMeasuresTheInterval) {
    now = 0xFFFFFE00u;
    setTickOverride(now);
    gui.session.applyGoal(7, 1);
    startSession();
    beatAfter(0x180); // lands on 0xFFFFFF80
    beatAfter(0x300); // wraps to 0x00000280
    EXPECT_EQ(gui.session.lastBeatTick, 0x280u);
    ASSERT_EQ(gui.session.beatIntervals.size(), 2u);
    EXPECT_FLOAT_EQ(gui.session.beatIntervals[1], 768.0f);
    EXPECT_EQ(gui.session.cycleTimeMs, 0x300); // the first interval is the wait before it
}

TEST_F(Pacer, GoalAndLevelChangesResetCountersButNotTheSessionLength) {
    startSession();
    beats(91);
    ASSERT_EQ(gui.session.cyclesLeft, 0);
    gui.inMenu = 1; // the training screen returns to the menu
    gui.trainingScreen.phaseStarted = false;

    now += 3000;
    setTickOverride(now);
    gui.session.applyGoal(9, 2);
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{2, 8, 4, 8}));
    EXPECT_EQ(gui.session.cyclesLeft, 0);
    EXPECT_FALSE(gui.trainingScreen.phaseStarted);
    EXPECT_EQ(gui.inMenu, 1);
    EXPECT_EQ(gui.session.lastBeatTick, now);
    EXPECT_TRUE(gui.session.beatIntervals.empty());
    EXPECT_TRUE(gui.session.cycleMeans.empty());

    // A goal outside the goal rows keeps the formula but still resets the counters.
    gui.session.applyGoal(3, 2);
    EXPECT_EQ(gui.session.goal, 3);
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{2, 8, 4, 8}));

    startClicked(0);
    EXPECT_EQ(gui.session.cyclesLeft, 10);
    EXPECT_EQ(gui.inMenu, 0);
}

} // namespace

// A beat decoded with the interval its sensor measured steps the pacer with that interval,
// whenever the frame comes; one whose interval reaches across a pulse not ready (a rise
// marked a gap's, or a rise without its interval after such a stretch) steps the pacer but
// counts in neither the cycle's mean nor the graph.
TEST_F(Pacer, CarriedIntervalsDriveTheSessionAndGapsCountNowhere) {
    startSession();
    SensorState& sensor = gui.sensor;
    const auto rise = [&](std::uintptr_t interval, std::intptr_t gap, std::uint32_t tick) {
        sensor.onMessage(0x10000, 0x490000, tick); // fall (and arm)
        sensor.onMessage(0x10002 | beatIntervalBits(interval), 0x590000 | gap, tick);
    };
    sensor.onMessage(0x10002, 0x590000, now); // the first rise is never armed
    rise(900, 0, now + 5000);                 // the session's first beat: the wait before it
    rise(812, 0, now + 5100);                 // ticks 100 ms apart: the carried 812 counts
    rise(1234, kBeatGapBit, now + 5200);      // across a gap
    sensor.onMessage(0x10000, 0x450000, now + 5300); // pulse searching, no interval carried
    sensor.onMessage(0x10000, 0x490000, now + 9000); // ready again
    sensor.onMessage(0x10002, 0x590000, now + 9500); // a rise measured by the ticks: a gap's
    rise(790, 0, now + 10290);
    for (const SensorBeat& beat : sensor.pendingBeats)
        gui.session.onBeat(false, beat);
    EXPECT_EQ(gui.session.beatIntervals, (std::vector<float>{900, 812, 790}));
    EXPECT_EQ(gui.session.cycleBeats, 2);
    EXPECT_EQ(gui.session.cycleTimeMs, 812 + 790);
    EXPECT_EQ(gui.session.lastBeatTick, now + 10290);
    EXPECT_EQ(gui.session.beatInPhase, 4) << "every beat stepped the pacer";
}

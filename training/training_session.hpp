// The breathing pacer: four phases whose lengths are counted in pulse beats. A beat goes in and
// what it did comes out; the caller hands that on to the sound, the screen and the record.
#pragma once

#include <cstdint>
#include <vector>

#include "training/presets.hpp"

struct SensorBeat;

// What one beat did to the session.
struct PacerStep {
    bool stepped = false;         // false: the session was halted and the beat changed nothing
    std::uint32_t intervalMs = 0; // the beat's interval: the sensor's, else measured by the ticks
    bool gap = false;             // the interval reaches across a pulse not ready: counted nowhere
    bool phaseStarted = false;    // this beat began a phase (the inhale of a new cycle too)
    bool cycleStarted = false;    // this beat closed a cycle and began the next
    const char* cue = nullptr;    // the sound of the phase begun ("play FILE"); null for none
    bool sessionOver = false;     // this beat closed the session's last cycle
};

struct TrainingSession {
    BreathFormula phaseBeats{1, 4, 2, 2};
    std::int32_t beatInPhase = 0;
    std::int32_t phase = 0;
    std::uint32_t lastBeatTick = 0;  // ms, tick of the previous measured beat
    std::int32_t cyclesLeft = 10;
    std::int32_t cyclesSetting = 10; // 10..60 in steps of 10
    std::int32_t goal = 7;           // row position 7..18 of the goal
    std::int32_t level = 1;          // 1..6
    std::int32_t cycleTimeMs = 0;     // sum of the heartbeat intervals of the current cycle
    std::int32_t cycleBeats = 0;      // how many intervals cycleTimeMs holds
    bool waitBeforeFirstBeat = true;  // the next interval spans the wait before the session
    std::vector<float> cycleMeans;    // mean beat interval of each finished cycle, ms
    // Interval before each beat step that counts, ms: the first of a session (the wait before
    // it, never drawn) and then every beat but those whose interval reaches across a gap.
    std::vector<float> beatIntervals;

    // One pacer step for a pulse beat; does nothing while halted (the menu is shown). Its
    // interval is the sensor's where the beat carries one, else the ticks since the last beat.
    PacerStep onBeat(bool halted, const SensorBeat& beat);
    // The same for a beat at `tick` (ms) measured by the ticks; without a tick, now.
    PacerStep onBeat(bool halted, std::uint32_t tick);
    PacerStep onBeat(bool halted);
    // Starts over from the first beat with the current formula and session length.
    void restart();
    // Sets goal and level, the formula from the presets, and clears the running counters.
    void applyGoal(std::int32_t goal, std::int32_t level);
};

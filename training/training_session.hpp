// The breathing pacer: four phases whose lengths are counted in pulse beats.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct SensorBeat;

// Beat counts of inhale, pause after inhale, exhale, pause after exhale.
using BreathFormula = std::array<std::int32_t, 4>;

struct TrainingSession {
    BreathFormula phaseBeats{1, 4, 2, 2};
    std::array<float, 4> phaseGlow{1.0f, 1.0f, 1.0f, 1.0f};
    bool phaseChanged = false;
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
    void onBeat(bool halted, const SensorBeat& beat);
    // The same for a beat at `tick` (ms) measured by the ticks; without a tick, now.
    void onBeat(bool halted, std::uint32_t tick);
    void onBeat(bool halted);
    // Starts a session from its first beat with the current formula; leaves the menu.
    void restart();
    // Sets goal and level, the formula from the presets, and clears the running counters.
    void applyGoal(std::int32_t goal, std::int32_t level);
};

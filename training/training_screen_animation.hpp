// The training screen's animation: what each frame fades, eases and turns, from where the pacer
// stands and how the user breathes.
#pragma once

#include <array>

struct SensorState;
struct TrainingSession;

// Kept for the whole run, carried across sessions; starts at rest. Coordinates are normalised
// screen units (a radius is the vertical half-axis; the horizontal one is 0.75 of it).
struct TrainingScreenState {
    // Alpha of each phase's bar: the current one lit, the others fading.
    std::array<float, 4> phaseGlow{1.0f, 1.0f, 1.0f, 1.0f};
    float barFill = 0.0f;       // moving end of the current phase's bar
    float pacerRadius = 0.0f;   // pacer disc
    float breathRadius = 0.0f;  // ring that follows the user's breathing
    float lensPhase = 0.0f;     // radians: the background lens, as this frame shows it
    float ornamentPhase = 0.0f; // radians: the corner ornaments, one step ahead of the lens
    bool phaseStarted = false;  // a phase began since the last frame: bar and disc start over
};

// What a training frame tells the app.
struct TrainingScreenStep {
    // No cycle is left: this frame is the session's last, drawn in full; the menu follows.
    bool sessionOver = false;
    // The pulse sensor is not ready: the warning shows over this frame, and its sound plays
    // (a sound still playing is not restarted).
    bool promptShown = false;
    const char* cue = nullptr; // the warning's "play FILE" while it shows; null otherwise
};

// One training frame: the bars' glow fades and the current bar eases toward the beats, the
// scenery turns a step, the disc eases toward the beats and the ring follows the breath. Runs
// every training frame, whatever the hide toggles hide, so all is in step when shown again.
TrainingScreenStep advanceTrainingScreen(TrainingScreenState& state, const TrainingSession& session,
                                         const SensorState& sensor);

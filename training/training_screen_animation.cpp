// The training screen's per-frame animation: bar glow and fill, scenery turn, disc and ring.
#include "training/training_screen_animation.hpp"

#include <cstddef>
#include <cstdint>

#include "sensor/sensor_state.hpp"
#include "training/training_session.hpp"

namespace {

constexpr double kPhaseStep = 0.031415927410125735; // pi/100 per training frame

bool isPhase(std::int32_t phase) {
    return phase >= 0 && phase <= 3;
}

// Fades every bar a little and lights the current one; a bar whose glow drops to 0.1 or
// less is cut by the alpha test.
void updateGlow(TrainingScreenState& state, const TrainingSession& s) {
    for (float& glow : state.phaseGlow)
        if (glow > 0.0f) glow -= 0.01f;
    if (isPhase(s.phase)) state.phaseGlow[static_cast<std::size_t>(s.phase)] = 1.0f;
}

// Eases the current bar's moving end a tenth of the way toward the point the beats have
// reached; bars 0 and 1 grow toward +0.9, bars 2 and 3 toward -0.9.
void updateBarFill(TrainingScreenState& state, const TrainingSession& s) {
    if (!isPhase(s.phase)) return;
    float& fill = state.barFill;
    const std::int32_t k = s.phase;
    const double d = s.phaseBeats[static_cast<std::size_t>(k)];
    const double e = s.beatInPhase;
    if (d == 0.0) return; // a phase of no beats is skipped and never current
    if (k < 2) {
        if (state.phaseStarted) fill = -0.9f;
        const double target = 1.8 * e / d - 0.9;
        if (fill < target) fill = static_cast<float>(fill + (target - fill) / 10.0);
    } else {
        if (state.phaseStarted) fill = 0.9f;
        const double target = 0.9 - 1.8 * e / d;
        if (fill > 0.9 - 1.8 * (e + 1.0) / d)
            fill = static_cast<float>(fill - (fill - target) / 10.0);
    }
}

// The lens shows where the ornaments stood in the frame before: the two turn together, the
// ornaments a step ahead.
void turnScenery(TrainingScreenState& state) {
    state.lensPhase = state.ornamentPhase;
    state.ornamentPhase = static_cast<float>(state.ornamentPhase + kPhaseStep);
}

void updatePacer(TrainingScreenState& state, const TrainingSession& s, const SensorState& sensor) {
    if (state.phaseStarted) {
        if (s.phase == 0 || s.phase == 3) state.pacerRadius = 0.01f;
        if (s.phase == 1 || s.phase == 2) state.pacerRadius = 0.19f;
        state.phaseStarted = false;
    }
    const double e = s.beatInPhase;
    // The disc grows from 0.01 toward 0.2 over the inhale and shrinks from 0.19 toward 0.01
    // over the exhale, a fiftieth of the gap per frame; it keeps its size in the pauses.
    if (s.phase == 0 && s.phaseBeats[0] != 0) {
        const double target = 0.2 * e / s.phaseBeats[0];
        if (state.pacerRadius < target)
            state.pacerRadius =
                static_cast<float>(state.pacerRadius + (target - state.pacerRadius) / 50.0);
    }
    if (s.phase == 2 && s.phaseBeats[2] != 0) {
        const double target = 0.01 + 0.19 * (s.phaseBeats[2] - e) / s.phaseBeats[2];
        if (state.pacerRadius > target)
            state.pacerRadius =
                static_cast<float>(state.pacerRadius - (state.pacerRadius - target) / 50.0);
    }

    // The ring lies on the disc's edge while the user breathes with the pacer; otherwise it
    // swings between about 0.19 (breathing in) and the smallest ring (breathing out).
    float& ring = state.breathRadius;
    if (ring > 0.17f) ring = 0.17f;
    if (ring < 0.01f) ring = 0.01f;
    const bool breathingIn = sensor.breathIndicator == 1.0f;
    const bool breathingOut = sensor.breathIndicator == 0.5f;
    if (breathingIn) ring = static_cast<float>(ring + 0.02);
    if (breathingOut) ring = static_cast<float>(ring - 0.02);
    if ((breathingIn && s.phase == 0) || (breathingOut && s.phase == 2)) ring = state.pacerRadius;
}

} // namespace

TrainingScreenStep advanceTrainingScreen(TrainingScreenState& state, const TrainingSession& session,
                                         const SensorState& sensor) {
    // A phase start reseeds the bar before the disc takes the start back.
    updateGlow(state, session);
    updateBarFill(state, session);
    turnScenery(state);
    updatePacer(state, session, sensor);

    TrainingScreenStep step;
    step.sessionOver = session.cyclesLeft <= 0;
    step.promptShown = !step.sessionOver && sensor.pulseStatus < 2;
    if (step.promptShown) step.cue = "play ./img/error.wav";
    return step;
}

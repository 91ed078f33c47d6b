// The beat-driven pacer: one step per pulse beat, a cue at each phase change, cycle means.
#include "training/training_session.hpp"

#include "gui/gui.hpp"
#include "platform/ticks.hpp"
#include "training/presets.hpp"
#include "training/session_record.hpp"
#include "training/sound_cues.hpp"

namespace {

// The cue of the phase just reached; 4 is the inhale that begins the next cycle.
const char* phaseCue(std::int32_t phase) {
    switch (phase) {
    case 1:
        return "play ./img/2.wav";
    case 2:
        return "play ./img/3.wav";
    case 3:
        return "play ./img/4.wav";
    default:
        return "play ./img/1.wav";
    }
}

} // namespace

void TrainingSession::onBeat(bool halted) {
    if (halted) return;
    ++beatInPhase;

    // Unsigned difference, so a wrap of the 32-bit tick between two beats still measures right.
    const std::uint32_t now = tickMs();
    const std::uint32_t interval = now - lastBeatTick;
    // Summed modulo 2^32 like the tick itself; only a pause of weeks could reach the sign bit.
    cycleTimeMs = static_cast<std::int32_t>(static_cast<std::uint32_t>(cycleTimeMs) + interval);
    beatIntervals.push_back(static_cast<float>(interval));
    lastBeatTick = now;

    const char* cue = nullptr;
    if (phase >= 0 && phase < 4 && beatInPhase > phaseBeats[static_cast<std::size_t>(phase)]) {
        ++phase;
        beatInPhase = 1;
        phaseChanged = true;
        if (phase >= 1 && phase <= 3 && phaseBeats[static_cast<std::size_t>(phase)] == 0) ++phase;
        cue = phaseCue(phase);
        playCue(cue);
    }

    if (phase >= 4) {
        phase = 0;
        const std::int64_t beats = static_cast<std::int64_t>(phaseBeats[0]) + phaseBeats[1] +
                                   phaseBeats[2] + phaseBeats[3];
        // The steppers and presets keep inhale and exhale at least 1, so beats is positive.
        cycleMeans.push_back(beats > 0 ? static_cast<float>(static_cast<double>(cycleTimeMs) /
                                                            static_cast<double>(beats))
                                       : 0.0f);
        --cyclesLeft;
        cycleTimeMs = 0;
    }
    sessionRecorder.recordBeat(*this, gui.sensor, now, interval, cue);
}

void TrainingSession::restart() {
    cyclesLeft = cyclesSetting;
    cycleMeans.clear();
    beatIntervals.clear();
    phase = 0;
    beatInPhase = 0;
    phaseChanged = true;
    gui.inMenu = 0;
    sessionRecorder.beginSession(*this, tickMs()); // ends a session still recorded as restarted
}

void TrainingSession::applyGoal(std::int32_t newGoal, std::int32_t newLevel) {
    goal = newGoal;
    level = newLevel;
    if (goal >= 7 && goal <= 18) phaseBeats = presetFormula(goal, level);
    beatInPhase = 0;
    phase = 0;
    cycleTimeMs = 0;
    beatIntervals.clear();
    cycleMeans.clear();
    lastBeatTick = tickMs();
}

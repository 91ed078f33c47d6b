// The beat-driven pacer: one step per pulse beat, a cue at each phase change, cycle means.
#include "training/training_session.hpp"

#include "platform/ticks.hpp"
#include "sensor/sensor_state.hpp"

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

PacerStep TrainingSession::onBeat(bool halted) { return onBeat(halted, tickMs()); }

PacerStep TrainingSession::onBeat(bool halted, std::uint32_t tick) {
    SensorBeat beat;
    beat.tick = tick;
    return onBeat(halted, beat);
}

PacerStep TrainingSession::onBeat(bool halted, const SensorBeat& beat) {
    PacerStep step;
    if (halted) return step;
    step.stepped = true;
    ++beatInPhase;

    // Unsigned difference, so a wrap of the 32-bit tick between two beats still measures
    // right; a beat stamped before the last goal change (decoded in the same frame)
    // measures 0, not four billion.
    std::uint32_t ticks = beat.tick - lastBeatTick;
    if (static_cast<std::int32_t>(ticks) < 0) ticks = 0;
    else lastBeatTick = beat.tick;
    // The sensor's own measure where it gave one: ticks would add the way's delays to it.
    step.intervalMs = beat.intervalMs != 0 ? beat.intervalMs : ticks;
    step.gap = !beat.counts;
    // The first interval after a restart or goal change is the wait before the session,
    // not a heartbeat: the cycle's mean leaves it out, and the graph does not draw it. A beat
    // whose interval reaches across a gap counts nowhere.
    if (waitBeforeFirstBeat || beat.counts)
        beatIntervals.push_back(static_cast<float>(step.intervalMs));
    if (!waitBeforeFirstBeat && beat.counts) {
        // Summed modulo 2^32 like the tick; only a pause of weeks could reach the sign bit.
        cycleTimeMs =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(cycleTimeMs) + step.intervalMs);
        ++cycleBeats;
    }
    waitBeforeFirstBeat = false;

    if (phase >= 0 && phase < 4 && beatInPhase > phaseBeats[static_cast<std::size_t>(phase)]) {
        ++phase;
        beatInPhase = 1;
        step.phaseStarted = true;
        if (phase >= 1 && phase <= 3 && phaseBeats[static_cast<std::size_t>(phase)] == 0) ++phase;
        step.cue = phaseCue(phase);
    }

    if (phase >= 4) {
        phase = 0;
        // The mean of the intervals this cycle measured. A cycle spans at least two beats
        // (inhale and exhale are at least 1), so even the first holds one interval.
        cycleMeans.push_back(cycleBeats > 0
                                 ? static_cast<float>(static_cast<double>(cycleTimeMs) / cycleBeats)
                                 : static_cast<float>(step.intervalMs));
        --cyclesLeft;
        cycleTimeMs = 0;
        cycleBeats = 0;
        step.cycleStarted = true;
        step.sessionOver = cyclesLeft <= 0;
    }
    return step;
}

void TrainingSession::restart() {
    cyclesLeft = cyclesSetting;
    cycleMeans.clear();
    beatIntervals.clear();
    phase = 0;
    beatInPhase = 0;
    // What a halted session measured does not count toward the new one's first cycle.
    cycleTimeMs = 0;
    cycleBeats = 0;
    waitBeforeFirstBeat = true;
}

void TrainingSession::applyGoal(std::int32_t newGoal, std::int32_t newLevel) {
    goal = newGoal;
    level = newLevel;
    if (goal >= 7 && goal <= 18) phaseBeats = presetFormula(goal, level);
    beatInPhase = 0;
    phase = 0;
    cycleTimeMs = 0;
    cycleBeats = 0;
    waitBeforeFirstBeat = true;
    beatIntervals.clear();
    cycleMeans.clear();
    lastBeatTick = tickMs();
}

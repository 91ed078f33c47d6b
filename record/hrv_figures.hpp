// Heart-rate and short-term heart-rate-variability figures of one session's beats.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "record/beat_classes.hpp"

// One beat as the figures see it: its interval, where the pacer stood after it, whether
// the source doubts it (a strap may flag a beat as unreliable), its time and the breathing.
struct FigureBeat {
    double intervalMs = 0.0;
    std::int32_t phase = 0; // 0 inhale, 1 hold-in, 2 exhale, 3 hold-out
    std::int32_t cycle = 1; // counted from 1
    bool doubtful = false;
    bool gap = false;        // its interval reaches back across a stretch without a ready pulse
    std::int64_t ms = 0;     // since the session's start (a first beat may be early)
    signed char breath = -1; // 1 breathing in, 0 out, -1 the breath sensor not ready
};

// Intervals outside this range (ms; 30..200 beats a minute) are artefacts, not heartbeats.
inline constexpr double kShortestUsableIntervalMs = 300.0;
inline constexpr double kLongestUsableIntervalMs = 2000.0;
// Fewer usable beats than this give no variability (SDNN, RMSSD, pNN50): two intervals would
// give a pNN50 of 0 or 100 %, which says nothing about the heart.
inline constexpr std::size_t kFewestBeatsForVariability = 10;

// Every figure is empty when the beats give too little to compute it.
struct HrvFigures {
    std::int64_t beats = 0;                     // all beats of the record
    std::int64_t usedBeats = 0;                 // beats that entered the figures
    std::int64_t leftOut = 0;                   // beats kept in the record but not in the figures
    // Beats put right before the figures, by class (the normal count stays 0).
    std::array<std::int64_t, kBeatClassCount> corrected{};
    std::optional<double> meanHr, minHr, maxHr; // beats a minute, from 60000 / interval
    std::optional<double> meanNnMs;
    std::optional<double> sdnnMs;  // sample standard deviation of the intervals
    std::optional<double> rmssdMs; // root mean square of successive differences
    std::optional<double> pnn50;   // percent of successive differences above 50 ms
    // By the phase each interval elapsed in: the pacer's phase before the beat that ends it.
    std::array<std::optional<double>, 4> phaseMeanHr;
    // Inhale mean heart rate minus exhale mean heart rate, per cycle that has both (an
    // interval counts in the cycle it elapsed in).
    std::vector<double> cycleArrhythmia;
    std::optional<double> arrhythmiaMean, arrhythmiaSd;
};

// A beat enters the figures when its interval lies within the usable range and it is neither
// doubtful nor a gap's. The first beat of a session is left out too: its interval reaches back to a
// beat before the session began (the pacer measures from the last beat it counted).
bool beatIsUsable(const FigureBeat& beat, bool firstOfSession);

// Which beats the strap or the heart got wrong, per beat: the beats between two stretches
// that break the rhythm (the session's first beat, a gap's, a doubtful one) are classified as
// one series; a beat that breaks it has no class.
std::vector<std::optional<BeatClass>> classifyRecordBeats(const std::vector<FigureBeat>& beats);

// The beats put right as the classes say (see below), each in the phase and cycle its interval
// elapsed in; a beat that breaks the rhythm stays as it is.
std::vector<FigureBeat> beatsPutRight(const std::vector<FigureBeat>& beats);

// The figures are computed on the beats put right: a missed beat's interval split in two, an
// extra beat joined to the next, an ectopic, long or short interval replaced (see
// beat_classes.hpp). Successive differences are taken only between two neighbouring usable
// beats, so a beat left out breaks the chain instead of joining two intervals that were never
// adjacent.
HrvFigures computeHrvFigures(const std::vector<FigureBeat>& beats);

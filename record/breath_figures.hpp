// Breathing figures of one session's beats: the breathing rate and how closely the user
// followed the pacer, from the beats at which the breath sensor was ready.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "record/hrv_figures.hpp"

// Every figure is empty when the beats give too little to compute it.
struct BreathFigures {
    std::int64_t beatsWithBreath = 0; // beats whose breath has a value
    // Changes from out to in between two neighbouring beats that both have a value.
    std::int64_t breaths = 0;
    std::optional<double> meanRatePerMin;
    // One entry per cycle of the record, in order; empty where no breath began and ended.
    std::vector<std::optional<double>> cycleRatePerMin;
    // Of the inhale beats with a value, the share breathed in; of the exhale beats, the share
    // breathed out (percent). The holds count in neither.
    std::optional<double> inhaleBreathedInPercent, exhaleBreathedOutPercent;
};

// A breath runs from one in-onset to the next and is timed by the beats' `ms` (the moments
// the breath state was read), not by summed intervals: an interval left out or spanning a gap
// would shift every onset after it. A beat without a value breaks the chain, since a breath
// may have begun unseen in it. The rate is breaths over their summed length, and a breath
// belongs to the cycle in which it began.
BreathFigures computeBreathFigures(const std::vector<FigureBeat>& beats);

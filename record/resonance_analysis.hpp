// Scores of one stage of the breathing-rate test and the ranking of the rates tried: how far
// the heart rate swings with each breath, how much of the beat intervals' power lies in the
// low-frequency band, and how the heart rate lags behind the breathing.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "record/hrv_figures.hpp"
#include "record/resonance_result.hpp"

// The band whose power the breathing at 4.5..6.5 breaths a minute (0.075..0.11 Hz) falls in.
inline constexpr double kLowFrequencyFromHz = 0.04;
inline constexpr double kLowFrequencyToHz = 0.15;

// One usable interval of a stage: where the pacer stood while it elapsed and when it ended.
struct StageInterval {
    double endS = 0.0; // the beat that ended it, seconds since the stage began
    double intervalMs = 0.0;
    std::int32_t cycle = 1; // the breathing cycle it elapsed in
};

// The one place that decides which of a stage's beats give intervals for its scores: the
// beats put right (beatsPutRight) that are usable (beatIsUsable), each counted in the cycle
// it elapsed in.
std::vector<StageInterval> stageIntervalSeries(const std::vector<FigureBeat>& beats);

struct StageScores {
    std::int32_t cycles = 0; // cycles that entered the swing
    std::optional<double> peakToTroughBpm;
    std::optional<double> lowFrequencyMs2;
    std::optional<double> breathHeartPhaseDeg;
};

// Scores one stage paced at `breathsPerMinute` from its beats as recorded. Each score is empty
// when the stage gives too little for it: the swing needs a cycle of three usable intervals,
// the power 15 seconds of intervals, the phase the breath sensor on two thirds of the beats.
StageScores scoreStage(const std::vector<FigureBeat>& beats, double breathsPerMinute);

// Ranks the stages that have both a swing and a power above zero: the sum of their rank by swing
// and their rank by power (1 the largest), the smaller sum first, a tie to the larger swing. Sets
// each stage's rank (0 for a stage left unranked) and returns the rate ranked first, if any.
std::optional<double> rankStages(std::vector<ResonanceStageResult>& stages);

// The breathing-rate test's scoring: a heart whose breathing swing peaks at a known rate must
// make that rate the winner, with the phase of a known lag; a real resting rhythm must give
// sound scores and a full ranking.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "record/resonance_analysis.hpp"
#include "support/test_support.hpp"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRates[] = {6.5, 6.0, 5.5, 5.0, 4.5};
// Not a whole number of beats per cycle at any rate: the beats drift through the cycles, as a
// real heart's do, instead of reading the breath at the same moments of every cycle.
constexpr double kMeanHr = 67.0;

// A stage of `seconds` paced at `rate`: the heart rate swings by `swingBpm` (peak to trough)
// at the breathing frequency, `lagS` seconds behind the breath sensor's in/out signal (in for
// the first 40 % of each cycle), with a little beat-to-beat noise. Cycles counted from the
// stage's start.
std::vector<FigureBeat> pacedStage(double rate, double swingBpm, double lagS, double seconds) {
    const double period = 60.0 / rate;
    std::vector<FigureBeat> beats;
    unsigned noise = 12345;
    double t = 0.0;
    while (t < seconds) {
        // The breath's fundamental peaks in the middle of the breath in, at 0.2 of the cycle;
        // the rate is taken in the middle of the interval to come.
        const double middle = t + 30.0 / kMeanHr;
        const double hr =
            kMeanHr + swingBpm / 2 * std::cos(2 * kPi * (middle - 0.2 * period - lagS) / period);
        noise = noise * 1103515245u + 12345u;
        const double interval =
            60000.0 / hr + (static_cast<double>(noise >> 16 & 0xff) - 127.5) / 20;
        t += interval / 1000.0;
        FigureBeat beat;
        beat.intervalMs = interval;
        beat.ms = std::llround(t * 1000.0);
        beat.cycle = static_cast<std::int32_t>(t / period) + 1;
        beat.breath = std::fmod(t, period) < 0.4 * period ? 1 : 0;
        beats.push_back(beat);
    }
    return beats;
}

ResonanceStageResult scored(double rate, const std::vector<FigureBeat>& beats) {
    const StageScores s = scoreStage(beats, rate);
    ResonanceStageResult stage;
    stage.breathsPerMinute = rate;
    stage.cycles = s.cycles;
    stage.peakToTroughBpm = s.peakToTroughBpm;
    stage.lowFrequencyMs2 = s.lowFrequencyMs2;
    stage.breathHeartPhaseDeg = s.breathHeartPhaseDeg;
    return stage;
}

} // namespace

TEST(ResonanceAnalysis, TheRateWithTheLargestSwingWins) {
    for (const double peak : {6.0, 5.0}) {
        std::vector<ResonanceStageResult> stages;
        for (const double rate : kRates)
            stages.push_back(
                scored(rate, pacedStage(rate, 14.0 - 8.0 * std::fabs(rate - peak), 1.0, 120.0)));
        const std::optional<double> winner = rankStages(stages);
        ASSERT_TRUE(winner);
        EXPECT_DOUBLE_EQ(*winner, peak);
        for (const ResonanceStageResult& s : stages) {
            SCOPED_TRACE(s.breathsPerMinute);
            EXPECT_EQ(s.rank == 1, s.breathsPerMinute == peak);
            EXPECT_GE(s.cycles, 8);
            // A swing of S bpm round 67 bpm is a sine of about S/2 * 60000/67^2 ms in the
            // intervals, whose power is its amplitude squared over two.
            const double swing = 14.0 - 8.0 * std::fabs(s.breathsPerMinute - peak);
            const double amplitudeMs = swing / 2 * 60000.0 / (kMeanHr * kMeanHr);
            EXPECT_NEAR(*s.peakToTroughBpm, swing, 1.0);
            EXPECT_NEAR(*s.lowFrequencyMs2, amplitudeMs * amplitudeMs / 2,
                        0.2 * amplitudeMs * amplitudeMs / 2);
            // One second behind the breathing.
            ASSERT_TRUE(s.breathHeartPhaseDeg);
            EXPECT_NEAR(*s.breathHeartPhaseDeg, 360.0 * s.breathsPerMinute / 60.0, 12.0);
        }
    }
}

TEST(ResonanceAnalysis, TooShortFlatOrWithoutBreathLeavesScoresOutAndUnranked) {
    std::vector<FigureBeat> shortStage = pacedStage(6.0, 10.0, 0.0, 10.0);
    for (FigureBeat& b : shortStage)
        b.breath = -1;
    std::vector<ResonanceStageResult> stages{scored(6.0, shortStage),
                                             scored(5.0, pacedStage(5.0, 4.0, 0.0, 60.0))};
    EXPECT_TRUE(stages[0].peakToTroughBpm);
    EXPECT_FALSE(stages[0].lowFrequencyMs2); // 10 s hold too little of the band
    EXPECT_FALSE(stages[0].breathHeartPhaseDeg);
    EXPECT_EQ(rankStages(stages), std::optional<double>(5.0));
    EXPECT_EQ(stages[0].rank, 0);

    // A steady heart (the simulated device) swings by nothing at every rate: no winner.
    std::vector<FigureBeat> steady = pacedStage(5.0, 0.0, 0.0, 60.0);
    for (FigureBeat& b : steady)
        b.intervalMs = 1000.0;
    stages = {scored(6.0, steady), scored(5.0, steady)};
    EXPECT_FALSE(rankStages(stages));
    EXPECT_EQ(stages[0].rank + stages[1].rank, 0);
}

// The real resting rhythm cut into five two-minute stretches, as if each had been paced at
// one of the rates: every stretch is scored within the range a resting heart gives, and the
// five are ranked 1 to 5 once each.
TEST(ResonanceAnalysis, ARealRhythmIsScoredAndRankedWhole) {
    std::ifstream in(testdataDir() / "rr" / "real_rri.txt");
    std::vector<double> intervals;
    for (double v; in >> v;)
        intervals.push_back(v);
    ASSERT_GT(intervals.size(), 700u);
    std::vector<ResonanceStageResult> stages;
    std::size_t next = 0;
    for (const double rate : kRates) {
        std::vector<FigureBeat> beats;
        double t = 0.0;
        while (t < 120.0 && next < intervals.size()) {
            t += intervals[next] / 1000.0;
            FigureBeat beat;
            beat.intervalMs = intervals[next++];
            beat.ms = std::llround(t * 1000.0);
            beat.cycle = static_cast<std::int32_t>(t * rate / 60.0) + 1;
            beats.push_back(beat);
        }
        stages.push_back(scored(rate, beats));
    }
    const std::optional<double> winner = rankStages(stages);
    ASSERT_TRUE(winner);
    std::vector<int> ranks;
    for (const ResonanceStageResult& s : stages) {
        SCOPED_TRACE(s.breathsPerMinute);
        ASSERT_TRUE(s.peakToTroughBpm && s.lowFrequencyMs2);
        EXPECT_FALSE(s.breathHeartPhaseDeg); // the recording has no breathing
        EXPECT_GT(*s.peakToTroughBpm, 1.0);
        EXPECT_LT(*s.peakToTroughBpm, 40.0);
        EXPECT_GT(*s.lowFrequencyMs2, 10.0);
        EXPECT_LT(*s.lowFrequencyMs2, 20000.0);
        ranks.push_back(s.rank);
        if (s.rank == 1) EXPECT_EQ(*winner, s.breathsPerMinute);
        std::printf("  %.1f/min: swing %.2f bpm over %d cycles, LF %.0f ms2, rank %d\n",
                    s.breathsPerMinute, *s.peakToTroughBpm, s.cycles, *s.lowFrequencyMs2, s.rank);
    }
    std::sort(ranks.begin(), ranks.end());
    EXPECT_EQ(ranks, (std::vector<int>{1, 2, 3, 4, 5}));
}

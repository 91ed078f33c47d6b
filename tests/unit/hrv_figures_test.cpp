// The figures' edges: too few beats for variability, and intervals counted in the phase they
// elapsed in even when the inhale lasts one beat.
#include <gtest/gtest.h>

#include "record/hrv_figures.hpp"

TEST(HrvFigures, TooFewBeatsGiveNoVariabilityButARate) {
    std::vector<FigureBeat> beats;
    for (const double ms : {1000.0, 1000.0, 900.0, 1000.0}) beats.push_back({ms, 0, 1});
    const HrvFigures f = computeHrvFigures(beats);
    ASSERT_TRUE(f.meanHr);
    EXPECT_NEAR(*f.meanHr, (60.0 + 60000.0 / 900 + 60.0) / 3, 1e-9);
    EXPECT_FALSE(f.sdnnMs);
    EXPECT_FALSE(f.rmssdMs);
    EXPECT_FALSE(f.pnn50);
}

// 1-4-2-2: a row's phase is where the pacer stands after its beat. The interval ending on the
// beat that leaves the one-beat inhale elapsed while breathing in; the one ending on the beat
// that begins the inhale elapsed in the pause before.
TEST(HrvFigures, AnIntervalCountsInThePhaseItElapsedIn) {
    const std::int32_t phases[] = {0, 1, 1, 1, 1, 2, 2, 3, 3};
    std::vector<FigureBeat> beats;
    for (int cycle = 1; cycle <= 3; ++cycle)
        for (std::size_t i = 0; i < 9; ++i) {
            // Inhale intervals 800 ms, exhale 1200 ms, holds 1000 ms.
            const std::int32_t elapsedIn = i == 0 ? 3 : phases[i - 1];
            const double ms = elapsedIn == 0 ? 800.0 : elapsedIn == 2 ? 1200.0 : 1000.0;
            beats.push_back({ms, phases[i], cycle});
        }
    const HrvFigures f = computeHrvFigures(beats);
    ASSERT_TRUE(f.phaseMeanHr[0] && f.phaseMeanHr[2]);
    EXPECT_NEAR(*f.phaseMeanHr[0], 75.0, 1e-9);
    EXPECT_NEAR(*f.phaseMeanHr[2], 50.0, 1e-9);
    ASSERT_EQ(f.cycleArrhythmia.size(), 3u); // cycle 1 has its inhale too
    for (const double d : f.cycleArrhythmia) EXPECT_NEAR(d, 25.0, 1e-9);
}

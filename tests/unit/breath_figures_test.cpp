// The breathing figures where a fault would hide in a whole session: holds, chains broken by
// beats without a value, breaths across cycles, times out of order, and too little to tell.
#include <gtest/gtest.h>

#include "record/breath_figures.hpp"

namespace {

FigureBeat beat(std::int64_t ms, std::int32_t phase, std::int32_t cycle, signed char breath) {
    return {1000.0, phase, cycle, false, false, ms, breath};
}

TEST(BreathFigures, RatesAndSharesFollowTheOnsetsAndTheirPhases) {
    enum { In = 0, HoldIn = 1, Out = 2, HoldOut = 3 };
    const std::vector<FigureBeat> beats = {
        beat(0, In, 1, 0),
        beat(1000, In, 1, 1), // onset: the first breath begins
        beat(2000, HoldIn, 1, 1),
        beat(3000, Out, 1, 0),
        beat(4000, Out, 1, 0),
        beat(5000, HoldOut, 1, 1), // onset: 4 s, in cycle 1
        beat(6000, In, 2, 1),
        beat(7000, In, 2, 0),
        beat(8000, In, 2, 1), // onset: 3 s, begun in cycle 1
        beat(9000, Out, 2, 1),
        beat(10000, Out, 2, -1), // no value: the chain breaks
        beat(11000, Out, 2, 0),
        beat(12000, HoldOut, 2, 1), // onset, but after the break
        beat(13000, In, 3, 0),
        beat(14000, In, 3, 1), // onset: 2 s, in cycle 2
        beat(15000, Out, 3, 0),
        beat(13500, In, 4, 1), // onset at a time before the last: no breath length
    };
    const BreathFigures f = computeBreathFigures(beats);
    EXPECT_EQ(f.beatsWithBreath, 16);
    EXPECT_EQ(f.breaths, 6);
    ASSERT_TRUE(f.meanRatePerMin);
    EXPECT_NEAR(*f.meanRatePerMin, 60000.0 * 3 / 9000, 1e-9);
    // Cycle 4 holds only the closing beat: it never ran and gets no entry.
    ASSERT_EQ(f.cycleRatePerMin.size(), 3u);
    ASSERT_TRUE(f.cycleRatePerMin[0] && f.cycleRatePerMin[1]);
    EXPECT_NEAR(*f.cycleRatePerMin[0], 60000.0 * 2 / 7000, 1e-9);
    EXPECT_NEAR(*f.cycleRatePerMin[1], 30.0, 1e-9);
    EXPECT_FALSE(f.cycleRatePerMin[2]);
    // Holds count in neither share, whatever the breathing in them.
    ASSERT_TRUE(f.inhaleBreathedInPercent && f.exhaleBreathedOutPercent);
    EXPECT_NEAR(*f.inhaleBreathedInPercent, 100.0 * 5 / 8, 1e-9);
    EXPECT_NEAR(*f.exhaleBreathedOutPercent, 100.0 * 4 / 5, 1e-9);
}

TEST(BreathFigures, TooLittleBreathingGivesEmptyFigures) {
    // No breath sensor: an entry per cycle, each empty.
    BreathFigures f = computeBreathFigures(
        {beat(0, 0, 1, -1), beat(900, 2, 1, -1), beat(1800, 0, 2, -1), beat(2700, 2, 2, -1)});
    EXPECT_EQ(f.beatsWithBreath, 0);
    EXPECT_EQ(f.cycleRatePerMin, (std::vector<std::optional<double>>{std::nullopt, std::nullopt}));
    EXPECT_FALSE(f.meanRatePerMin || f.inhaleBreathedInPercent || f.exhaleBreathedOutPercent);
    // One breath has no length; breathing only in the holds says nothing of following.
    f = computeBreathFigures({beat(0, 1, 1, 0), beat(900, 1, 1, 1), beat(1800, 3, 1, 0)});
    EXPECT_EQ(f.breaths, 1);
    EXPECT_FALSE(f.meanRatePerMin || f.inhaleBreathedInPercent || f.exhaleBreathedOutPercent);
    f = computeBreathFigures({});
    EXPECT_TRUE(f.cycleRatePerMin.empty());
    EXPECT_FALSE(f.meanRatePerMin);
}

} // namespace

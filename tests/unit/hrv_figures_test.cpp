// The figures' edges: too few beats for variability, and intervals counted in the phase they
// elapsed in even when the inhale lasts one beat.
#include <gtest/gtest.h>

#include "record/hrv_figures.hpp"
#include "support/test_support.hpp"

#include <fstream>

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

// A real resting rhythm with one missed, one extra and one ectopic beat put in: each is found
// as what it is, and the figures come out as without them, where the raw intervals would
// double RMSSD.
TEST(HrvFigures, ArtefactsInARealRhythmArePutRightBeforeTheFigures) {
    std::ifstream in(testdataDir() / "rr" / "real_rri.txt");
    std::vector<double> clean;
    for (double ms; in >> ms;)
        if (ms > 0) clean.push_back(ms); // the file ends with a 0
    ASSERT_GT(clean.size(), 700u);

    std::vector<double> spoilt = clean;
    spoilt[400] += spoilt[401]; // missed: the strap did not see beat 401
    spoilt.erase(spoilt.begin() + 401);
    const double whole = spoilt[200]; // extra: a false beat a third into interval 200
    spoilt[200] = whole / 3.0;
    spoilt.insert(spoilt.begin() + 201, whole - whole / 3.0);
    spoilt[600] *= 0.7; // ectopic: early, and the pause after makes up for it
    spoilt[601] += clean[600] * 0.3;

    auto beatsOf = [](const std::vector<double>& intervals) {
        std::vector<FigureBeat> beats;
        for (double ms : intervals) beats.push_back({ms, 0, 1});
        return beats;
    };
    const HrvFigures expected = computeHrvFigures(beatsOf(clean));
    const HrvFigures got = computeHrvFigures(beatsOf(spoilt));
    auto count = [&](const HrvFigures& f, BeatClass c) {
        return f.corrected[static_cast<std::size_t>(c)];
    };
    EXPECT_EQ(count(got, BeatClass::Missed), count(expected, BeatClass::Missed) + 1);
    EXPECT_EQ(count(got, BeatClass::Extra), count(expected, BeatClass::Extra) + 1);
    EXPECT_EQ(count(got, BeatClass::Ectopic), count(expected, BeatClass::Ectopic) + 1);
    EXPECT_NEAR(*got.rmssdMs, *expected.rmssdMs, 0.03 * *expected.rmssdMs);
    EXPECT_NEAR(*got.sdnnMs, *expected.sdnnMs, 0.01 * *expected.sdnnMs);
    EXPECT_NEAR(*got.meanHr, *expected.meanHr, 0.1);

    const auto classes = classifyRecordBeats(beatsOf(spoilt));
    EXPECT_FALSE(classes[0]); // the first beat reaches back before the session
    EXPECT_EQ(classes[200], BeatClass::Extra);
    EXPECT_EQ(classes[201], BeatClass::Extra);
    EXPECT_EQ(classes[401], BeatClass::Missed); // shifted by the extra beat
}

// The breath detector on synthetic chests: agreement with the known breathing, turn latency,
// holds, movement, a change of posture and a broken stream.
#include <gtest/gtest.h>

#include "bluetooth/breath_detector.hpp"
#include "support/breath_score.hpp"
#include "support/chest_signal.hpp"

#include <cmath>
#include <numbers>

namespace {

using brix::BreathDetector;

const char* shapeName(BreathShape shape) {
    switch (shape) {
    case BreathShape::Sine: return "sine";
    case BreathShape::Paced: return "paced";
    case BreathShape::Asymmetric: return "asymmetric";
    }
    return "?";
}

} // namespace

TEST(BreathDetector, FollowsTheKnownBreathingFromThreeToThirtyAMinute) {
    for (const double perMinute : {3.0, 4.5, 6.0, 7.0, 15.0, 30.0}) {
        for (const BreathShape shape :
             {BreathShape::Sine, BreathShape::Paced, BreathShape::Asymmetric}) {
            ChestOptions options;
            options.breathsPerMinute = perMinute;
            options.shape = shape;
            options.swingMg = 20.0;
            options.seed = static_cast<std::uint32_t>(perMinute * 10) + 1;
            const double breathS = 60.0 / perMinute;
            const BreathScore score = scoreBreathDetector(options, std::fmax(180.0, 10 * breathS));
            SCOPED_TRACE(testing::Message() << perMinute << "/min " << shapeName(shape));
            // Ready after two breaths and the start (the first half breath is rarely whole).
            EXPECT_GT(score.readyAtS, 0.0);
            EXPECT_LT(score.readyAtS, 3.5 * breathS);
            EXPECT_GT(score.readyShare, 0.99);
            // Every turn followed once: no flicker, none missed.
            EXPECT_EQ(score.missed, 0);
            EXPECT_LE(score.extraFlips, 2);
            // Turns are placed at their moments, found back from the breath's speed when
            // they are sure: within 0.5 s where the breath starts at speed (a pacer's in
            // and out); a smooth sine's flat top later, by less than a tenth of a breath
            // plus the band's lag.
            EXPECT_GT(score.medianLatencyS, -0.5);
            if (shape == BreathShape::Sine)
                EXPECT_LT(score.medianLatencyS, 0.1 * breathS + 0.5);
            else
                EXPECT_LE(score.medianLatencyS, 0.5);
            if (perMinute <= 7.0) EXPECT_GT(score.agreement, shape == BreathShape::Sine ? 0.75 : 0.85);
        }
    }
}

TEST(BreathDetector, SearchesWhileMovedAndFindsTheBreathAgainAfterAPostureChange) {
    ChestOptions options;
    options.breathsPerMinute = 6.0;
    options.shape = BreathShape::Paced;
    options.movements = {{60.0, 3.0}, {130.0, 1.5}};
    options.postureChangeS = 90.0;
    const BreathScore score = scoreBreathDetector(options, 240.0);
    EXPECT_GT(score.searchingInMovement, 0.9);
    EXPECT_GT(score.agreement, 0.85);
    EXPECT_GT(score.readyShare, 0.8); // ready again within a breath or two of each movement
    EXPECT_EQ(score.missed, 0);
    EXPECT_LE(score.extraFlips, 6); // a turn or two while the breath is found again
}

TEST(BreathDetector, AHeldBreathKeepsItsStateAndAGapStartsTheStreamAgain) {
    // Breathing along z (expansion is a rise along it) at 10 a minute, then a 15 s hold
    // after an inhale, then breathing again.
    auto fullness = [](double t) {
        if (t < 60.0) return 0.5 - 0.5 * std::cos(2 * std::numbers::pi * t / 6.0);
        if (t < 63.0) return 0.5 - 0.5 * std::cos(2 * std::numbers::pi * t / 6.0); // to the top
        if (t < 78.0) return 1.0;
        return 0.5 + 0.5 * std::cos(2 * std::numbers::pi * (t - 78.0) / 6.0);
    };
    BreathDetector detector;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 2.0);
    auto feed = [&](double from, double to) {
        for (double t = from; t < to; t += 0.01)
            detector.add(t, noise(random), -950.0 + noise(random),
                         -300.0 + 20.0 * fullness(t) + noise(random));
    };
    feed(0.0, 64.0);
    ASSERT_EQ(detector.status(), BreathDetector::kReady);
    EXPECT_TRUE(detector.breathingIn());
    feed(64.0, 78.0);
    EXPECT_EQ(detector.status(), BreathDetector::kReady);
    EXPECT_TRUE(detector.breathingIn());
    feed(78.0, 80.0);
    EXPECT_FALSE(detector.breathingIn());
    // Three seconds without samples: the stream starts again.
    feed(83.0, 83.2);
    EXPECT_EQ(detector.status(), BreathDetector::kSwitchingOn);
}

// The accelerometer's start-up dialogue and its frames, from the strap's bytes to breath changes
// on the host's time line.
#include <gtest/gtest.h>

#include "bluetooth/breath_stream.hpp"
#include "support/chest_signal.hpp"

#include <cmath>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using brix::BreathStream;
using brix::Clock;

BreathStream::Step answer(BreathStream& stream, const Bytes& bytes) {
    return stream.onAnswer(bytes.data(), bytes.size(), Clock::time_point{});
}

// A raw frame: type, the strap's time of its last sample (ns), frame type 0x01, samples.
Bytes rawFrame(std::uint64_t deviceNs, const std::vector<ChestSample>& samples) {
    Bytes frame{0x02};
    for (int i = 0; i < 8; ++i) frame.push_back(static_cast<std::uint8_t>(deviceNs >> (8 * i)));
    frame.push_back(0x01);
    for (const ChestSample& s : samples)
        for (const double mg : {s.x, s.y, s.z}) {
            const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(mg)));
            frame.push_back(static_cast<std::uint8_t>(v));
            frame.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    return frame;
}

} // namespace

// The settings come in two indications; the strap offers 25-200 Hz, so 100 Hz, 16 bits and 2 G
// are started. Frames stamped on the strap's own clock, late by a varying radio delay, one of
// them lost, give breath changes that reach "ready" and turn when the chest does, on the host's
// time line.
TEST(BreathStream, StartsTheAccelerometerAndFollowsTheChestOnTheHostClock) {
    BreathStream stream;
    EXPECT_EQ(stream.begin(Clock::time_point{}).write, (Bytes{0x01, 0x02}));
    // Rates 25, 50, 100, 200 Hz ... then (more) resolution 16 and ranges 8, 2, 4 G.
    EXPECT_TRUE(answer(stream, {0xF0, 0x01, 0x02, 0x00, 0x01, 0x00, 0x04, 25, 0, 50, 0, 100, 0,
                                200, 0}).write.empty());
    const auto start = answer(stream, {0xF0, 0x01, 0x02, 0x00, 0x00, 0x01, 0x01, 16, 0, 0x02,
                                       0x03, 8, 0, 2, 0, 4, 0});
    EXPECT_EQ(start.write, (Bytes{0x02, 0x02, 0x00, 0x01, 100, 0, 0x01, 0x01, 16, 0, 0x02, 0x01,
                                  2, 0}));
    EXPECT_TRUE(stream.started());
    EXPECT_FALSE(answer(stream, {0xF0, 0x02, 0x02, 0x00, 0x00}).problem.size());
    ASSERT_TRUE(stream.streaming());

    ChestOptions options;
    options.breathsPerMinute = 6.0;
    options.shape = BreathShape::Paced;
    ChestSignal chest(options);
    const auto samples = chest.samples(90.0);
    const std::uint64_t strapEpochNs = 700'000'000'000'000'000ull; // unrelated to the host's
    const std::int64_t hostEpochNs = 5'000'000'000;
    std::vector<BreathStream::Change> changes;
    constexpr std::size_t kPerFrame = 36;
    for (std::size_t first = 0, n = 0; first + kPerFrame <= samples.size();
         first += kPerFrame, ++n) {
        if (n == 40) continue; // lost on the way
        const std::vector<ChestSample> part(samples.begin() + first,
                                            samples.begin() + first + kPerFrame);
        const auto lastNs = static_cast<std::int64_t>(part.back().timeS * 1e9);
        const std::int64_t radioDelayNs = 20'000'000 + static_cast<std::int64_t>(n % 7) * 9'000'000;
        std::string problem;
        const Bytes frame = rawFrame(strapEpochNs + static_cast<std::uint64_t>(lastNs), part);
        const auto got = stream.onData(frame.data(), frame.size(),
                                       hostEpochNs + lastNs + radioDelayNs, problem);
        changes.insert(changes.end(), got.begin(), got.end());
    }
    // Ready within the first breaths, then every turn of the chest found once, placed within
    // half a second before it to a second after.
    double readyAtS = -1;
    int turnsMatched = 0, extra = 0;
    const auto turns = chest.turns(90.0);
    for (const auto& change : changes) {
        const double hostS = static_cast<double>(change.atNs - hostEpochNs) * 1e-9;
        if (change.status == brix::BreathDetector::kReady && readyAtS < 0) readyAtS = hostS;
        if (readyAtS < 0 || change.status != brix::BreathDetector::kReady) continue;
        bool matched = false;
        for (const double turn : turns)
            if (hostS - turn > -0.5 && hostS - turn < 1.0 && chest.breathingIn(turn + 0.01) ==
                                                                  change.in)
                matched = true;
        matched ? ++turnsMatched : ++extra;
    }
    ASSERT_GT(readyAtS, 0.0) << "never ready";
    EXPECT_LT(readyAtS, 35.0);
    EXPECT_GE(turnsMatched, 2 * static_cast<int>((90.0 - readyAtS) / 10.0) - 2);
    EXPECT_LE(extra, 1);
}

TEST(BreathStream, GivesUpOnARefusalAnUnusableOfferOrSilence) {
    {
        BreathStream stream;
        stream.begin(Clock::time_point{});
        answer(stream, {0xF0, 0x01, 0x02, 0x00, 0x00, 0x00, 0x01, 100, 0});
        const auto refused = answer(stream, {0xF0, 0x02, 0x02, 0x05});
        EXPECT_NE(refused.problem.find("status 5"), std::string::npos) << refused.problem;
        EXPECT_FALSE(stream.started());
    }
    {
        BreathStream stream; // only 25 Hz: too slow to follow a breath's turn
        stream.begin(Clock::time_point{});
        EXPECT_FALSE(
            answer(stream, {0xF0, 0x01, 0x02, 0x00, 0x00, 0x00, 0x01, 25, 0}).problem.empty());
    }
    {
        BreathStream stream;
        const Clock::time_point asked{std::chrono::seconds(100)};
        stream.begin(asked);
        EXPECT_TRUE(stream.onTimeout(asked + std::chrono::seconds(4)).problem.empty());
        EXPECT_FALSE(stream.onTimeout(stream.answerDue()).problem.empty());
        EXPECT_EQ(stream.answerDue(), Clock::time_point::max());
    }
}

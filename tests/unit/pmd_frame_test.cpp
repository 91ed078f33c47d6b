// Reading the measurement-data service: answers, settings, accelerometer frames, clock mapping.
#include <gtest/gtest.h>

#include "bluetooth/device_clock.hpp"
#include "bluetooth/pmd_frame.hpp"

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace pmd = brix::pmd;

pmd::AccFrame frame(const Bytes& bytes, float factor = 1.0f) {
    return pmd::parseAccFrame(bytes.data(), bytes.size(), factor);
}

// Type, the time 0x0102030405060708 (little-endian), frame type.
Bytes header(std::uint8_t frameType) {
    return {0x02, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, frameType};
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void expectSample(const pmd::AccSample& s, float x, float y, float z) {
    EXPECT_EQ(s.x, x);
    EXPECT_EQ(s.y, y);
    EXPECT_EQ(s.z, z);
}

} // namespace

TEST(PmdControlPoint, ReadsAnswersAndRefusesWhatIsNotOne) {
    const Bytes ok{0xF0, 0x01, 0x02, 0x00, 0x01, 0x00, 0x01, 0x64, 0x00};
    const auto answer = pmd::parseControlPointAnswer(ok.data(), ok.size());
    ASSERT_TRUE(answer.valid) << answer.error;
    EXPECT_EQ(answer.opCode, pmd::kGetSettings);
    EXPECT_EQ(answer.measurementType, pmd::kAccelerometer);
    EXPECT_TRUE(answer.more);
    EXPECT_EQ(answer.parameters, (Bytes{0x00, 0x01, 0x64, 0x00}));

    // A failure ends at its status: what follows is not parameters.
    const Bytes failed{0xF0, 0x02, 0x02, 0x05, 0x01, 0x99};
    const auto refused = pmd::parseControlPointAnswer(failed.data(), failed.size());
    ASSERT_TRUE(refused.valid);
    EXPECT_EQ(refused.status, 5);
    EXPECT_FALSE(refused.more);
    EXPECT_TRUE(refused.parameters.empty());

    const Bytes shortAnswer{0xF0, 0x02, 0x02};
    EXPECT_FALSE(pmd::parseControlPointAnswer(shortAnswer.data(), shortAnswer.size()).valid);
    const Bytes notAnAnswer{0x01, 0x02, 0x02, 0x00};
    EXPECT_FALSE(pmd::parseControlPointAnswer(notAnAnswer.data(), notAnAnswer.size()).valid);
}

TEST(PmdSettings, ChoosesSixteenBitsTheSmallestRangeAndAHundredHertz) {
    // 25/50/100/200 Hz, 16 bits, 2/4/8 G: a chest strap's offer.
    const Bytes offer{0x00, 0x04, 0x19, 0x00, 0x32, 0x00, 0x64, 0x00, 0xC8, 0x00,
                      0x01, 0x01, 0x10, 0x00, 0x02, 0x03, 0x08, 0x00, 0x02, 0x00, 0x04, 0x00};
    const auto settings = pmd::parseSettings(offer.data(), offer.size());
    ASSERT_TRUE(settings.valid) << settings.error;
    const auto choice = pmd::chooseAccelerometer(settings);
    ASSERT_TRUE(choice);
    EXPECT_EQ(pmd::startAccelerometerCommand(*choice),
              (Bytes{0x02, 0x02, 0x00, 0x01, 0x64, 0x00, 0x01, 0x01, 0x10, 0x00, 0x02, 0x01,
                     0x02, 0x00}));

    // Without 100, 200 Hz; with neither, the slowest rate of at least 50 Hz; below, none.
    auto rateFrom = [](const Bytes& rates) {
        const auto offered = pmd::parseSettings(rates.data(), rates.size());
        const auto picked = pmd::chooseAccelerometer(offered);
        return picked ? picked->sampleRateHz : 0;
    };
    EXPECT_EQ(rateFrom({0x00, 0x02, 0x34, 0x00, 0xC8, 0x00}), 200);
    EXPECT_EQ(rateFrom({0x00, 0x02, 0x90, 0x01, 0x34, 0x00}), 52);
    EXPECT_EQ(rateFrom({0x00, 0x01, 0x19, 0x00}), 0);
    // No 16 bits offered: no breath sensor.
    const Bytes eightBits{0x00, 0x01, 0x64, 0x00, 0x01, 0x01, 0x08, 0x00};
    EXPECT_FALSE(pmd::chooseAccelerometer(pmd::parseSettings(eightBits.data(), eightBits.size())));

    // The start answer's factor; an unknown type or a count past the end refuses the list.
    const Bytes factor{0x05, 0x01, 0x00, 0x00, 0x80, 0x3E}; // 0.25
    EXPECT_EQ(pmd::parseSettings(factor.data(), factor.size()).factor, 0.25f);
    const Bytes unknown{0x09, 0x01, 0x00};
    EXPECT_FALSE(pmd::parseSettings(unknown.data(), unknown.size()).valid);
    const Bytes cut{0x00, 0x02, 0x64, 0x00, 0xC8};
    EXPECT_FALSE(pmd::parseSettings(cut.data(), cut.size()).valid);
}

TEST(PmdAccFrame, ReadsRawSixteenBitSamples) {
    const auto raw = frame(header(0x01) + Bytes{0x01, 0x00, 0xFF, 0xFF, 0xE8, 0x03,  // 1 -1 1000
                                                0x00, 0x80, 0xFF, 0x7F, 0x00, 0x00}); // min max 0
    ASSERT_TRUE(raw.valid) << raw.error;
    EXPECT_EQ(raw.deviceTimeNs, 0x0102030405060708u);
    ASSERT_EQ(raw.samples.size(), 2u);
    expectSample(raw.samples[0], 1, -1, 1000);
    expectSample(raw.samples[1], -32768, 32767, 0);

    EXPECT_FALSE(frame(header(0x01)).valid);                                // no samples
    EXPECT_FALSE(frame(header(0x01) + Bytes{1, 0, 2, 0, 3}).valid);          // a sample cut
    EXPECT_FALSE(frame(Bytes{0x02, 0, 0, 0, 0, 0, 0, 0, 0}).valid);         // header cut
    Bytes ecg = header(0x01) + Bytes{1, 0, 2, 0, 3, 0};
    ecg[0] = 0x00;
    EXPECT_FALSE(frame(ecg).valid);                                          // not ours
    EXPECT_FALSE(frame(header(0x02) + Bytes{1, 0, 0, 2, 0, 0, 3, 0, 0}).valid); // not read
}

TEST(PmdAccFrame, ReadsDeltaFramesAndRefusesBrokenOnes) {
    // Reference (100, -200, 1000); 4-bit deltas (1, -1, 2), (-8, 7, 0); 3-bit deltas
    // (3, -4, 1) packed across a byte boundary.
    const Bytes deltas = Bytes{0x64, 0x00, 0x38, 0xFF, 0xE8, 0x03} +
                         Bytes{0x04, 0x02, 0xF1, 0x82, 0x07} + Bytes{0x03, 0x01, 0x63, 0x00};
    const auto sixteen = frame(header(0x81) + deltas);
    ASSERT_TRUE(sixteen.valid) << sixteen.error;
    ASSERT_EQ(sixteen.samples.size(), 4u);
    expectSample(sixteen.samples[0], 100, -200, 1000);
    expectSample(sixteen.samples[1], 101, -201, 1002);
    expectSample(sixteen.samples[2], 93, -194, 1002);
    expectSample(sixteen.samples[3], 96, -198, 1003);

    // 0x80 counts in G: the factor times 1000 makes mG.
    const auto inG = frame(header(0x80) + Bytes{0x02, 0x00, 0xFF, 0xFF, 0x00, 0x00}, 0.25f);
    ASSERT_TRUE(inG.valid) << inG.error;
    expectSample(inG.samples[0], 500, -250, 0);

    EXPECT_FALSE(frame(header(0x81) + Bytes{0x64, 0x00, 0x38, 0xFF}).valid); // reference cut
    EXPECT_FALSE(frame(header(0x81) + Bytes(deltas.begin(), deltas.end() - 1)).valid);
    EXPECT_FALSE(frame(header(0x81) + deltas + Bytes{0x04}).valid); // block header cut
    EXPECT_FALSE(frame(header(0x81) + Bytes{0, 0, 0, 0, 0, 0, 33, 1, 0, 0, 0, 0, 0}).valid);
    // 32767 + 1 is no 16-bit sample.
    EXPECT_FALSE(frame(header(0x81) + Bytes{0xFF, 0x7F, 0, 0, 0, 0, 0x02, 0x01, 0x01}).valid);
}

TEST(DeviceClock, PutsSamplesOnTheHostTimeLineThroughDelaysALostFrameAndAJump) {
    // 100 Hz, frames of 10 samples; the strap's clock 5 s ahead of the host's and 50 ppm slow;
    // each frame arrives 20 to 120 ms after its last sample.
    brix::DeviceClock clock(100.0);
    std::mt19937 random(3);
    std::uniform_int_distribution<std::int64_t> delay(20'000'000, 120'000'000);
    const std::int64_t offset = -5'000'000'000;
    std::int64_t previousLast = 0;
    for (int frameIndex = 1; frameIndex <= 600; ++frameIndex) {
        const std::int64_t hostLast = frameIndex * 100'000'000LL;
        const auto device = static_cast<std::uint64_t>(
            static_cast<double>(hostLast - offset) * (1.0 - 50e-6));
        if (frameIndex == 300) continue; // lost on the way
        const auto times = clock.sampleTimes(device, 10, hostLast + delay(random));
        ASSERT_EQ(times.size(), 10u);
        if (frameIndex > 20) {
            // Late by about the best delay (the estimate creeps up between the best frames),
            // samples 10 ms apart, and the lost frame's place left empty; from frame to
            // frame the offset moves by a few ms as better frames come.
            EXPECT_NEAR(static_cast<double>(times.back() - hostLast), 25e6, 5e6);
            EXPECT_NEAR(static_cast<double>(times[9] - times[0]), 90e6, 0.1e6);
            EXPECT_NEAR(static_cast<double>(times[0] - previousLast),
                        frameIndex == 301 ? 110e6 : 10e6, 9e6);
        }
        previousLast = times.back();
    }
    // The strap's clock is set back a day: the offset follows at once.
    const auto times = clock.sampleTimes(1'000'000'000, 10, 60'100'000'000);
    EXPECT_EQ(times.back(), 60'100'000'000);
}

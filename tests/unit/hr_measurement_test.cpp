// Reading a strap's heart-rate measurements, and the beats a strap without RR intervals gives.
#include <gtest/gtest.h>

#include "bluetooth/hr_measurement.hpp"
#include "bluetooth/strap_signal.hpp"

#include <vector>

namespace {

brix::HrMeasurement parse(const std::vector<std::uint8_t>& bytes) {
    return brix::parseHrMeasurement(bytes.data(), bytes.size());
}

} // namespace

TEST(HrMeasurement, ReadsEveryFieldTheFlagsAnnounce) {
    // 16-bit rate 300, contact supported and detected, energy 0x0102 skipped, RR 1024 and 512.
    const auto full = parse({0x1F, 0x2C, 0x01, 0x02, 0x01, 0x00, 0x04, 0x00, 0x02});
    ASSERT_TRUE(full.valid) << full.error;
    EXPECT_EQ(full.rateBpm, 300);
    EXPECT_TRUE(full.contactSupported);
    EXPECT_TRUE(full.contactDetected);
    EXPECT_EQ(full.intervalsMs, (std::vector<double>{1000.0, 500.0}));

    // 8-bit rate, contact supported but lost, no RR field; a byte beyond the fields is ignored.
    const auto lost = parse({0x04, 0x48, 0x77});
    ASSERT_TRUE(lost.valid);
    EXPECT_EQ(lost.rateBpm, 0x48);
    EXPECT_TRUE(lost.contactSupported);
    EXPECT_FALSE(lost.contactDetected);
    EXPECT_FALSE(lost.intervalsPresent);

    // "Detected" without "supported" means nothing; an RR field with no intervals is valid.
    const auto bare = parse({0x12, 0x3C});
    ASSERT_TRUE(bare.valid);
    EXPECT_FALSE(bare.contactDetected);
    EXPECT_TRUE(bare.intervalsPresent);
    EXPECT_TRUE(bare.intervalsMs.empty());
}

TEST(HrMeasurement, RefusesShortValuesAndDropsIntervalsThatMeanNone) {
    for (const auto& bytes : std::vector<std::vector<std::uint8_t>>{
             {}, {0x00}, {0x01, 0x3C}, {0x08, 0x3C, 0x01}, {0x10, 0x3C, 0x00, 0x04, 0x00}}) {
        const auto refused = parse(bytes);
        EXPECT_FALSE(refused.valid) << bytes.size() << " bytes";
        EXPECT_FALSE(refused.error.empty());
    }
    const auto none = parse({0x10, 0x3C, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x04});
    ASSERT_TRUE(none.valid);
    EXPECT_EQ(none.rejectedIntervals, 2);
    EXPECT_EQ(none.intervalsMs, std::vector<double>{1000.0});
}

// A strap that sends only its rate notifies about once a second whatever the rate: beats are
// paid out at 60000/rate, so 75/min over 8 s adds 10 beats of 800 ms, not 8 of them.
TEST(StrapSignal, PacesBeatsByTheRateOfAStrapWithoutIntervals) {
    brix::StrapSignal signal;
    const auto start = brix::Clock::now();
    signal.linkUp(start);
    const auto rateOnly = parse({0x06, 75});
    std::vector<double> beats;
    for (int second = 0; second <= 8; ++second) {
        const auto got = signal.onMeasurement(rateOnly, start + std::chrono::seconds(second));
        beats.insert(beats.end(), got.begin(), got.end());
    }
    EXPECT_EQ(beats, std::vector<double>(11, 800.0)); // the first measurement stands for a beat
    EXPECT_EQ(signal.pulseStatus(start + std::chrono::seconds(8)), brix::StrapSignal::kReady);
    EXPECT_EQ(signal.pulseStatus(start + std::chrono::seconds(11)), brix::StrapSignal::kSearching);
    // Without skin contact no beat at all, and the pulse is searching at once.
    EXPECT_TRUE(signal.onMeasurement(parse({0x04, 75}), start + std::chrono::seconds(9)).empty());
    EXPECT_EQ(signal.pulseStatus(start + std::chrono::seconds(9)), brix::StrapSignal::kSearching);
}

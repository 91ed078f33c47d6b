// Mapping the strap's frame stamps to host times: sample period and clock offset.
#include "bluetooth/device_clock.hpp"

#include <cmath>

namespace brix {

namespace {

// Crystals of cheap devices differ by tens of ppm; 500 ppm lets the offset follow any real
// drift while a late frame (a radio delay) lifts the estimate only by that much a second.
constexpr double kDriftAllowance = 500e-6;
// A frame this much later than the offset predicts is no radio delay: after a few of them in
// a row the strap's clock has jumped (it was set, or restarted), and the offset starts again.
constexpr std::int64_t kJumpNs = 2'000'000'000;
constexpr int kFramesToTrustAJump = 3;
// An unbroken frame spans count periods within this share; anything else is a gap.
constexpr double kUnbrokenTolerance = 0.1;
// How fast the measured period replaces the nominal one (per unbroken frame).
constexpr double kPeriodWeight = 0.05;
constexpr std::uint64_t kStampMask = (std::uint64_t{1} << 61) - 1;

} // namespace

DeviceClock::DeviceClock(double nominalRateHz)
    : nominalPeriodNs_(1e9 / nominalRateHz), periodNs_(nominalPeriodNs_) {}

void DeviceClock::reset() {
    periodNs_ = nominalPeriodNs_;
    started_ = false;
    framesAboveOffset_ = 0;
}

std::vector<std::int64_t> DeviceClock::sampleTimes(std::uint64_t deviceTimeNs, std::size_t count,
                                                   std::int64_t arrivalNs) {
    std::vector<std::int64_t> times;
    if (count == 0) return times;
    // The stamp as a signed count. The strap counts from 2000, so a real stamp stays below
    // 2^61 ns (year 2073); bits above that are dropped so that no difference overflows.
    const auto device = static_cast<std::int64_t>(deviceTimeNs & kStampMask);
    const std::int64_t observed = arrivalNs - device;
    if (started_ && static_cast<std::uint64_t>(device) > lastDeviceTimeNs_) {
        const double span = static_cast<double>(static_cast<std::uint64_t>(device) - lastDeviceTimeNs_);
        const double expected = periodNs_ * static_cast<double>(count);
        if (std::fabs(span - expected) < kUnbrokenTolerance * expected)
            periodNs_ += kPeriodWeight * (span / static_cast<double>(count) - periodNs_);
        // Otherwise frames were lost in between: the stamps still say where this one lies.
        const auto allowance = static_cast<std::int64_t>(
            kDriftAllowance * static_cast<double>(arrivalNs - lastArrivalNs_));
        const std::int64_t drifted = offsetNs_ + (allowance > 0 ? allowance : 0);
        if (observed - drifted > kJumpNs) {
            if (++framesAboveOffset_ >= kFramesToTrustAJump) {
                offsetNs_ = observed;
                framesAboveOffset_ = 0;
            }
        } else {
            framesAboveOffset_ = 0;
            offsetNs_ = observed < drifted ? observed : drifted;
        }
    } else {
        // The first frame, or the strap's clock went back: start the offset afresh.
        if (started_) periodNs_ = nominalPeriodNs_;
        offsetNs_ = observed;
        framesAboveOffset_ = 0;
        started_ = true;
    }
    lastDeviceTimeNs_ = static_cast<std::uint64_t>(device);
    lastArrivalNs_ = arrivalNs;

    times.resize(count);
    const std::int64_t last = device + offsetNs_;
    for (std::size_t i = 0; i < count; ++i) {
        const double before = periodNs_ * static_cast<double>(count - 1 - i);
        times[i] = last - static_cast<std::int64_t>(std::llround(before));
    }
    return times;
}

} // namespace brix

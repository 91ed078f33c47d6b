// The strap's sample clock put on the host's time line: each sample of a frame gets a host time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brix {

// The strap stamps a frame with its own clock at the frame's last sample; the samples before
// it lie one sample period apart. The host sees the frame only after the radio's delay,
// which varies but is never negative, so the smallest (arrival - stamp) seen is the truest
// offset between the clocks; it may creep up slowly (the two crystals drift apart) and is
// started afresh when the strap's clock jumps. A lost frame leaves a gap in the strap's
// times and changes nothing else. Pure: no clock is read here. Not thread-safe.
class DeviceClock {
  public:
    explicit DeviceClock(double nominalRateHz);

    // The host times (ns) of a frame's `count` samples, in order, the last one mapped from
    // `deviceTimeNs`; `arrivalNs` is the host's time when the frame came (a steady clock's ns).
    std::vector<std::int64_t> sampleTimes(std::uint64_t deviceTimeNs, std::size_t count,
                                          std::int64_t arrivalNs);

    // The sample period in use (ns): the nominal one, refined from unbroken frames.
    double periodNs() const { return periodNs_; }
    // Host time minus strap time (ns) as now estimated.
    std::int64_t offsetNs() const { return offsetNs_; }

    void reset(); // a new stream: forget the previous frames

  private:
    double nominalPeriodNs_;
    double periodNs_;
    bool started_ = false;
    std::uint64_t lastDeviceTimeNs_ = 0;
    std::int64_t lastArrivalNs_ = 0;
    std::int64_t offsetNs_ = 0;
    int framesAboveOffset_ = 0; // frames in a row that arrived far later than the offset says
};

} // namespace brix

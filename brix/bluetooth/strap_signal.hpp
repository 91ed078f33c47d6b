// What a connected strap's measurements mean for the pacer: its beats and the pulse status.
#pragma once

#include "brix_message.hpp"
#include "bluetooth/hr_measurement.hpp"
#include "link/sensor_source.hpp"

#include <vector>

namespace brix {

// Not thread-safe: one source thread owns it.
class StrapSignal {
  public:
    // The pulse status codes of the link.
    static constexpr int kSwitchingOn = kStatusSwitchingOn;
    static constexpr int kSearching = kStatusSearching;
    static constexpr int kReady = kStatusReady;

    // A connected strap that sends no beat for this long is "searching" again, though it may
    // still notify (no beat detected, or no contact detection). A strap that sends less often
    // gets half as long again as its gaps between notifications; until a gap is known, the
    // longest batching there is (3 s) is assumed.
    static constexpr auto kSilence = std::chrono::seconds(3);
    static constexpr auto kLongestBatching = std::chrono::seconds(3);

    void linkUp(Clock::time_point now);
    void linkDown(); // a drop: searching until the link is up and beats flow again

    // The beats (interval in ms each, in order) one measurement brings.
    std::vector<double> onMeasurement(const HrMeasurement& measurement, Clock::time_point now);

    int pulseStatus(Clock::time_point now) const;

    // Whether the last measurement said the strap touches the skin (or cannot tell).
    bool hasContact() const { return linked_ && contact_; }

    // When pulseStatus will change by time alone (the silence running out), if that is still
    // to come after `now`; max() otherwise.
    Clock::time_point nextTimedChange(Clock::time_point now) const;

  private:
    Clock::duration silenceLimit() const;

    bool everLinked_ = false;
    bool linked_ = false;
    bool contact_ = true;
    bool beatsSeen_ = false;
    Clock::time_point lastHeard_{}; // the last beat, or the link or contact coming up
    Clock::time_point lastNotified_{};
    bool notified_ = false;
    Clock::duration shortestGap_ = kLongestBatching; // between two notifications
    // A strap that has never sent an RR interval: beats are paced by its rate.
    bool sendsIntervals_ = false;
    bool rateClockRunning_ = false;
    Clock::time_point lastRateAt_{};
    double owedMs_ = 0.0;
};

} // namespace brix

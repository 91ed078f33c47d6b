// Beats and pulse status from a strap's measurements, including straps that send only a rate.
#include "bluetooth/strap_signal.hpp"

#include <algorithm>

namespace brix {

namespace {
// Rates a human heart can have; a rate outside them paces no beats.
constexpr int kLowestRate = 20;
constexpr int kHighestRate = 300;
} // namespace

void StrapSignal::linkUp(Clock::time_point now) {
    everLinked_ = true;
    linked_ = true;
    contact_ = true;
    beatsSeen_ = false;
    rateClockRunning_ = false;
    owedMs_ = 0.0;
    lastHeard_ = now;
    notified_ = false;
    shortestGap_ = kLongestBatching;
}

void StrapSignal::linkDown() {
    linked_ = false;
    beatsSeen_ = false;
    rateClockRunning_ = false;
}

std::vector<double> StrapSignal::onMeasurement(const HrMeasurement& measurement,
                                               Clock::time_point now) {
    std::vector<double> beats;
    if (!linked_ || !measurement.valid) return beats;
    if (notified_) shortestGap_ = std::min(shortestGap_, now - lastNotified_);
    notified_ = true;
    lastNotified_ = now;
    // Without skin contact a strap's numbers are noise: no beats until contact returns.
    const bool hadContact = contact_;
    contact_ = !measurement.contactSupported || measurement.contactDetected;
    if (!contact_) {
        rateClockRunning_ = false;
        return beats;
    }
    if (!hadContact) lastHeard_ = now; // the silence counts from contact's return
    if (measurement.intervalsPresent) sendsIntervals_ = true;
    if (sendsIntervals_) {
        // A measurement without intervals from such a strap means no beat ended since the
        // last one; inventing one from the rate would count that beat twice.
        beats = measurement.intervalsMs;
    } else if (measurement.rateBpm >= kLowestRate && measurement.rateBpm <= kHighestRate) {
        // Straps notify about once a second whatever the rate, so a beat per measurement
        // would show every rate as 60/min: pay out beats of 60000/rate as time passes.
        const double intervalMs = 60000.0 / measurement.rateBpm;
        if (rateClockRunning_) {
            const double elapsedMs =
                std::chrono::duration<double, std::milli>(now - lastRateAt_).count();
            // After a long gap start afresh rather than pay out a burst of beats.
            owedMs_ = elapsedMs > 3 * intervalMs ? intervalMs : owedMs_ + elapsedMs;
        } else {
            owedMs_ = intervalMs; // the first measurement stands for one beat
        }
        rateClockRunning_ = true;
        lastRateAt_ = now;
        while (owedMs_ >= intervalMs) {
            beats.push_back(intervalMs);
            owedMs_ -= intervalMs;
        }
    } else {
        rateClockRunning_ = false;
    }
    if (!beats.empty()) {
        beatsSeen_ = true;
        lastHeard_ = now;
    }
    return beats;
}

int StrapSignal::pulseStatus(Clock::time_point now) const {
    if (!linked_) return everLinked_ ? kSearching : kSwitchingOn;
    if (!contact_ || !beatsSeen_ || now - lastHeard_ >= silenceLimit()) return kSearching;
    return kReady;
}

Clock::duration StrapSignal::silenceLimit() const {
    return std::max<Clock::duration>(kSilence, shortestGap_ * 3 / 2);
}

Clock::time_point StrapSignal::nextTimedChange(Clock::time_point now) const {
    if (!linked_ || !contact_ || !beatsSeen_ || lastHeard_ + silenceLimit() <= now)
        return Clock::time_point::max();
    return lastHeard_ + silenceLimit();
}

} // namespace brix

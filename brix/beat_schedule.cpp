// Placing beats on the chain of their intervals, and learning the delay a sensor needs.
#include "beat_schedule.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brix {
namespace {

// A broken sensor cannot fill memory while the delay is learned.
constexpr std::size_t kMostWaiting = 256;

} // namespace

void BeatSchedule::restart() { *this = BeatSchedule{}; }

BeatSchedule::Shown BeatSchedule::show(std::int64_t at, double intervalMs) {
    const Shown shown{at, intervalMs, firstOfStretch_};
    firstOfStretch_ = false;
    return shown;
}

BeatSchedule::Shown BeatSchedule::timed(double rrMs, std::int64_t moment) {
    learned_ = true; // such a sensor needs no delay: each beat comes at its moment
    return show(moment, rrMs);
}

std::vector<BeatSchedule::Shown> BeatSchedule::batch(const std::vector<double>& rrMs,
                                                     std::int64_t arrived) {
    batched_ = true;
    if (notifications_ > 0) longestGap_ = std::max(longestGap_, arrived - lastNotification_);
    ++notifications_;
    lastNotification_ = arrived;
    if (!learned_) {
        for (const double rr : rrMs) {
            chainMs_ += rr;
            if (waiting_.size() < kMostWaiting) waiting_.push_back({chainMs_, arrived, rr});
        }
        if (notifications_ < kLearnNotifications || waiting_.empty()) return {};
        return learnFrom(arrived);
    }

    std::vector<Shown> out;
    bool allLate = !rrMs.empty(), allEarly = !rrMs.empty();
    double leastLag = std::numeric_limits<double>::max();
    for (const double rr : rrMs) {
        chainMs_ += rr;
        double at = anchor_ + chainMs_ + static_cast<double>(delay_);
        leastLag = std::min(leastLag, static_cast<double>(arrived) - chainMs_);
        if (at < static_cast<double>(arrived))
            at = static_cast<double>(arrived); // late: shown at once
        else
            allLate = false;
        if (at - static_cast<double>(arrived) <= static_cast<double>(delay_ + kMarginMs))
            allEarly = false;
        out.push_back(show(std::llround(at), rr));
    }
    if (rrMs.empty()) return out;
    // Beats the sensor missed leave the chain behind for good, a beat counted twice puts it
    // ahead: after two such batches in a row the chain begins again where these two batches
    // put it, as at the start, for the beats still to come. One late batch (the machine was
    // busy) moves nothing.
    lateBatches_ = allLate ? lateBatches_ + 1 : 0;
    earlyBatches_ = allEarly ? earlyBatches_ + 1 : 0;
    if (lateBatches_ >= 2 || earlyBatches_ >= 2) {
        anchor_ = std::min(leastLag, previousLeastLag_);
        lateBatches_ = earlyBatches_ = 0;
    }
    previousLeastLag_ = leastLag;
    return out;
}

// The chain begins as late as it can: no beat can have happened after it arrived, so the
// beat that came with the least lag fixes it. The delay covers the longest wait between
// notifications and the widest spread of lags seen, plus a margin.
std::vector<BeatSchedule::Shown> BeatSchedule::learnFrom(std::int64_t now) {
    double lowest = std::numeric_limits<double>::max(), highest = -lowest;
    for (const Waiting& w : waiting_) {
        const double lag = static_cast<double>(w.arrived) - w.chainMs;
        lowest = std::min(lowest, lag);
        highest = std::max(highest, lag);
    }
    anchor_ = lowest;
    const auto spread = static_cast<std::int64_t>(std::ceil(highest - lowest));
    delay_ = std::max(longestGap_, spread) + kMarginMs;
    learned_ = true;
    // Beats whose moment has passed while the delay was learned are not shown: a burst of
    // them would be no pulse. The stretch begins with the first still ahead.
    std::vector<Shown> out;
    for (const Waiting& w : waiting_) {
        const auto at = std::llround(anchor_ + w.chainMs + static_cast<double>(delay_));
        if (at >= now) out.push_back(show(at, w.intervalMs));
    }
    waiting_.clear();
    return out;
}

} // namespace brix

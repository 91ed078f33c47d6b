// Placing beats on the chain of their intervals, and learning the delay a sensor needs.
#include "link/beat_schedule.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brix {
namespace {

// A broken sensor cannot fill memory while the delay is learned.
constexpr std::size_t kMostLearnedFrom = 256;

} // namespace

void BeatSchedule::restart() {
    const std::int64_t next = measured_ >= 0 ? measured_ : delay_;
    *this = BeatSchedule{};
    delay_ = next;
}

BeatSchedule::Shown BeatSchedule::show(std::int64_t at, double intervalMs) {
    const Shown shown{at, intervalMs, firstOfStretch_};
    firstOfStretch_ = false;
    return shown;
}

BeatSchedule::Shown BeatSchedule::timed(double rrMs, std::int64_t moment) {
    delay_ = 0; // such a sensor needs no delay: each beat comes at its moment
    return show(moment, rrMs);
}

std::vector<BeatSchedule::Shown> BeatSchedule::batch(const std::vector<double>& rrMs,
                                                     std::int64_t arrived) {
    batched_ = true;
    if (notifications_ > 0) {
        longestGap_ = std::max(longestGap_, arrived - lastNotification_);
        shortestGap_ = std::min(shortestGap_, arrived - lastNotification_);
    }
    ++notifications_;
    lastNotification_ = arrived;
    std::vector<Placed> beats;
    for (const double rr : rrMs)
        beats.push_back({chainMs_ += rr, arrived, rr});
    if (measured_ < 0) {
        for (const Placed& beat : beats)
            if (learnedFrom_.size() < kMostLearnedFrom) learnedFrom_.push_back(beat);
        if (notifications_ >= kLearnNotifications && !learnedFrom_.empty()) measure();
    }
    if (delay_ >= 0) return place(beats, arrived);
    // The run's first delay: nothing is shown until it is known. The beats whose moment has
    // passed meanwhile are left out (a burst of them would be no pulse); the stretch begins
    // with the first still ahead.
    if (measured_ < 0) return {};
    delay_ = measured_;
    anchor_ = leastLearnedLag_;
    anchored_ = true;
    std::vector<Shown> out;
    for (const Placed& beat : learnedFrom_) {
        const auto at = std::llround(anchor_ + beat.chainMs + static_cast<double>(delay_));
        if (at >= arrived) out.push_back(show(at, beat.intervalMs));
    }
    learnedFrom_.clear();
    return out;
}

// The chain begins as late as it can: no beat can have happened after it arrived, so the
// beat that came with the least lag fixes it. The delay covers the longest wait between
// notifications and the widest spread of lags seen, plus a margin; a strap whose gaps vary
// gets that much more again, as a later gap may be longer than those seen.
void BeatSchedule::measure() {
    double lowest = std::numeric_limits<double>::max(), highest = -lowest;
    for (const Placed& beat : learnedFrom_) {
        const double lag = static_cast<double>(beat.arrived) - beat.chainMs;
        lowest = std::min(lowest, lag);
        highest = std::max(highest, lag);
    }
    leastLearnedLag_ = lowest;
    const auto spread = static_cast<std::int64_t>(std::ceil(highest - lowest));
    const std::int64_t wobble = longestGap_ - std::min(shortestGap_, longestGap_);
    measured_ = std::max(longestGap_, spread) + wobble + kMarginMs;
    if (delay_ >= 0) learnedFrom_.clear(); // measured for the next stretch only
}

std::vector<BeatSchedule::Shown> BeatSchedule::place(const std::vector<Placed>& beats,
                                                     std::int64_t arrived) {
    std::vector<Shown> out;
    if (beats.empty()) return out;
    double leastLag = std::numeric_limits<double>::max();
    for (const Placed& beat : beats)
        leastLag = std::min(leastLag, static_cast<double>(arrived) - beat.chainMs);
    // A stretch with a known delay begins at its first batch's least late beat.
    if (!anchored_) {
        anchor_ = leastLag;
        anchored_ = true;
    }
    bool allLate = true, allEarly = true;
    for (const Placed& beat : beats) {
        double at = anchor_ + beat.chainMs + static_cast<double>(delay_);
        if (at < static_cast<double>(arrived))
            at = static_cast<double>(arrived); // late: shown at once
        else
            allLate = false;
        // Ahead by more than a whole delay: no jitter of the strap's does that.
        if (at - static_cast<double>(arrived) <= static_cast<double>(2 * delay_ + kMarginMs))
            allEarly = false;
        out.push_back(show(std::llround(at), beat.intervalMs));
    }
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

} // namespace brix

// Posting what a source reports: beats as pulse edges on the program's clock, status at once.
#include "link/pulse_output.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "brix_message.hpp"
#include "os/post_message.hpp"

namespace brix {
namespace {

constexpr std::uint32_t kHighestUnpostedMessage = 1024; // WM_USER and below are never posted
constexpr std::int64_t kLongestHighMs = 1000;
constexpr std::size_t kMostWaitingRises = 256;

} // namespace

PulseOutput::PulseOutput(void* window, std::uint32_t message)
    : window_(window), message_(message), lastTick_(programTick()), clockMs_(lastTick_) {}

PulseOutput::~PulseOutput() {
    stop();
}

void PulseOutput::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

std::int64_t PulseOutput::delayMs() {
    std::lock_guard lock(mutex_);
    return schedule_.delayMs();
}

std::int64_t PulseOutput::nowLocked() {
    const std::uint32_t tick = programTick();
    clockMs_ += static_cast<std::uint32_t>(tick - lastTick_);
    lastTick_ = tick;
    return clockMs_;
}

std::int64_t PulseOutput::msOfLocked(std::uint32_t tick) {
    const std::int64_t now = nowLocked();
    return now - static_cast<std::int32_t>(lastTick_ - tick);
}

int PulseOutput::postedPulseLocked() const {
    return pulseStatus_ == kStatusReady && schedule_.learning() ? kStatusSearching : pulseStatus_;
}

void PulseOutput::batch(const std::vector<double>& rrMs, std::uint32_t arrivedTick) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    queueLocked(schedule_.batch(rrMs, msOfLocked(arrivedTick)));
    if (postedPulseLocked() != postedPulse_) postLocked(false); // the delay is learned: ready
}

void PulseOutput::timedBeat(double rrMs, std::uint32_t momentTick) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    queueLocked({schedule_.timed(rrMs, msOfLocked(momentTick))});
}

void PulseOutput::queueLocked(const std::vector<BeatSchedule::Shown>& shown) {
    for (const BeatSchedule::Shown& beat : shown) {
        // A flood of beats (a broken sensor) cannot fill memory.
        if (rises_.size() >= kMostWaitingRises) break;
        rises_.push_back({beat.at, beat.intervalMs, beat.gap});
    }
    if (rises_.empty()) return;
    if (!startWorkerLocked()) rises_.clear(); // no thread: no pulse, as with a lost contact
    wake_.notify_all();
}

bool PulseOutput::startWorkerLocked() {
    if (worker_.joinable()) return true;
    try {
        worker_ = std::thread([this] { run(); });
    } catch (...) {
        return false;
    }
    return true;
}

// The breath is shown the beats' delay after its moment, so the program compares it with the
// pacer, which the beats drive, as it was at the same moment. While the delay is still being
// learned there is none to add; the pulse is not ready then anyway.
void PulseOutput::breath(bool in, int status, std::uint32_t momentTick) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    std::int64_t at = msOfLocked(momentTick) + std::max<std::int64_t>(schedule_.delayMs(), 0);
    if (!breaths_.empty()) {
        at = std::max(at, breaths_.back().at); // in order, whatever the delay did meanwhile
        if (breaths_.size() >= kMostWaitingRises) breaths_.pop_front();
    }
    breaths_.push_back({at, in, status & 3});
    if (!startWorkerLocked()) {
        breaths_.clear();
        breathIn_ = in; // no thread: shown at once rather than never
        breathStatus_ = status & 3;
        postLocked(false);
        return;
    }
    wake_.notify_all();
}

void PulseOutput::status(int pulse, int breath) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    pulseStatus_ = pulse & 3;
    if (breath != kBreathAsStreamed) {
        // The source speaks for its breath sensor again: what was streamed is over.
        breaths_.clear();
        breathStatus_ = breath & 3;
        if (breathStatus_ != kStatusReady) breathIn_ = false;
    }
    // Not ready: contact lost, a silence, a drop. What comes after is a new stretch.
    if (pulseStatus_ != kStatusReady) schedule_.restart();
    postLocked(false);
}

void PulseOutput::deviceLost() {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    postLocked(true);
}

void PulseOutput::pattern(std::uintptr_t wParam, std::intptr_t lParam, std::uint32_t tick) {
    std::lock_guard lock(mutex_);
    if (stopping_ || window_ == nullptr || message_ <= kHighestUnpostedMessage) return;
    postSensorMessageAt(window_, message_, wParam, lParam, tick); // a failed post is ignored
}

void PulseOutput::postLocked(bool deviceLost, const Rise* rise) {
    postedPulse_ = postedPulseLocked();
    if (window_ == nullptr || message_ <= kHighestUnpostedMessage) return;
    SensorMessage m;
    m.breathIn = breathIn_;
    m.pulseHigh = pulseHigh_;
    m.deviceLost = deviceLost;
    m.breathStatus = breathStatus_;
    m.pulseStatus = postedPulse_;
    if (rise == nullptr) {
        postSensorMessage(window_, message_, sensorWParam(m), sensorLParam(m));
        return;
    }
    const double ms = std::round(rise->intervalMs);
    m.beatIntervalMs = static_cast<std::uint32_t>(std::clamp(ms, 1.0, 65535.0));
    m.beatAfterGap = rise->gap;
    postSensorMessageAt(window_, message_, sensorWParam(m), sensorLParam(m),
                        static_cast<std::uint32_t>(rise->at));
}

// Sleeps until the next edge: a fall half way to the next beat (at least one level's length
// after the rise, and before the next rise), then the next rise (at least one level's length
// after the fall), and any breath change in between at its time. A rise that comes late never
// moves the ones after it.
void PulseOutput::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const std::int64_t now = nowLocked();
        if (!breaths_.empty() && breaths_.front().at <= now) {
            breathIn_ = breaths_.front().in;
            breathStatus_ = breaths_.front().status;
            breaths_.pop_front();
            postLocked(false);
            continue;
        }
        std::int64_t next = std::numeric_limits<std::int64_t>::max();
        if (pulseHigh_) {
            auto fall = fallAt_;
            if (!rises_.empty()) fall = std::min(fall, rises_.front().at - kShortestLevelMs);
            fall = std::max(fall, lastEdgeAt_ + kShortestLevelMs);
            if (now >= fall) {
                pulseHigh_ = false;
                lastEdgeAt_ = now;
                postLocked(false);
                continue;
            }
            next = fall;
        } else if (!rises_.empty()) {
            const Rise rise = rises_.front();
            const auto at = std::max(rise.at, lastEdgeAt_ + kShortestLevelMs);
            if (now >= at) {
                const auto high =
                    std::min(static_cast<std::int64_t>(rise.intervalMs / 2), kLongestHighMs);
                rises_.pop_front();
                pulseHigh_ = true;
                // Timed by when it was due, so a late wake-up moves neither this beat's moment
                // nor the edges after it.
                lastEdgeAt_ = at;
                fallAt_ = at + std::max(high, kShortestLevelMs);
                const Rise posted{at, rise.intervalMs, rise.gap};
                postLocked(false, &posted);
                continue;
            }
            next = at;
        }
        if (!breaths_.empty()) next = std::min(next, breaths_.front().at);
        if (next == std::numeric_limits<std::int64_t>::max())
            wake_.wait(lock);
        else
            wake_.wait_for(lock, std::chrono::milliseconds(next - now));
    }
}

} // namespace brix

// Re-timing beats into pulse edges, and posting everything a source reports.
#include "pulse_output.hpp"

#include <algorithm>
#include <cmath>

#include "post_message.hpp"

namespace brix {
namespace {

constexpr std::uint32_t kHighestUnpostedMessage = 1024; // WM_USER and below are never posted
constexpr std::uintptr_t kDeviceId = 0x10000;           // device 1 in the high word
constexpr std::uintptr_t kPulseBit = 2;
constexpr std::uintptr_t kDisconnectedBit = 4;
constexpr Clock::duration kLongestHigh = std::chrono::milliseconds(1000);
constexpr std::size_t kMostWaitingRises = 256;

} // namespace

PulseOutput::PulseOutput(void* window, std::uint32_t message)
    : window_(window), message_(message) {}

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

void PulseOutput::beat(double rrMs, Clock::time_point receivedAt) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    const bool known = std::isfinite(rrMs) && rrMs > 0.0 && rrMs < 60000.0;
    const auto interval = known ? std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double, std::milli>(rrMs))
                                : Clock::duration{};
    // Follow the chain of intervals, so batches keep their spacing and nothing drifts.
    Clock::time_point at = receivedAt;
    if (lastBeat_ && known) {
        at = *lastBeat_ + interval;
        if (at > receivedAt && receivedAt == anchorArrival_ && !rises_.empty()) {
            // More beats of the batch that started the chain: the ones before happened
            // earlier than placed. Move those still waiting back, as far as time allows.
            const auto room =
                std::max(Clock::duration{}, rises_.front().at - (Clock::now() + kShortestLevel));
            const auto shift = std::min(at - receivedAt, room);
            for (Rise& rise : rises_)
                rise.at -= shift;
            at -= shift;
        }
    }
    // A chain that fell behind (beats the sensor missed) or ran ahead (a glitch) starts anew
    // here; otherwise the delay after each beat stays what the first batch set.
    if (!lastBeat_ || !known || at + kBeatDelay < receivedAt + kShortestSlack ||
        at > receivedAt + kLongestLead) {
        if (lastBeat_ && known)
            at =
                std::clamp(at, receivedAt + kShortestSlack - kBeatDelay, receivedAt + kLongestLead);
        anchorArrival_ = receivedAt;
    }
    lastBeat_ = at;
    // A flood of beats (a broken sensor) cannot fill memory: rises are at least 40 ms apart.
    if (rises_.size() >= kMostWaitingRises) return;
    rises_.push_back({at + kBeatDelay, interval});
    if (!worker_.joinable()) {
        try {
            worker_ = std::thread([this] { run(); });
        } catch (...) {
            rises_.clear(); // no thread: no pulse, as with a sensor that lost contact
            return;
        }
    }
    wake_.notify_all();
}

void PulseOutput::status(int pulse, int breath) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    pulseStatus_ = pulse & 3;
    breathStatus_ = breath & 3;
    postLocked(0);
}

void PulseOutput::deviceLost() {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    postLocked(kDisconnectedBit);
}

void PulseOutput::pattern(std::uintptr_t wParam, std::intptr_t lParam) {
    std::lock_guard lock(mutex_);
    if (stopping_ || window_ == nullptr || message_ <= kHighestUnpostedMessage) return;
    postSensorMessage(window_, message_, wParam, lParam); // a failed post is ignored
}

void PulseOutput::postLocked(std::uintptr_t extraBits, std::optional<Clock::time_point> due) const {
    if (window_ == nullptr || message_ <= kHighestUnpostedMessage) return;
    const std::uintptr_t pulse = pulseHigh_ ? 1 : 0;
    // No breath signal from these sources: the breath bit and its copy stay 0.
    const std::uintptr_t wParam = kDeviceId | (pulse * kPulseBit) | extraBits;
    const auto statusByte = static_cast<std::uintptr_t>(
        1 | (pulseStatus_ << 2) | (static_cast<int>(pulse) << 4) | (breathStatus_ << 5));
    const auto lParam = static_cast<std::intptr_t>(statusByte << 16);
    if (due)
        postSensorMessageDue(window_, message_, wParam, lParam, *due);
    else
        postSensorMessage(window_, message_, wParam, lParam);
}

// Sleeps until the next edge: a fall half way to the next beat (at least one level's length
// after the rise, and before the next rise), then the next rise (at least one level's length
// after the fall). A rise that comes late never moves the ones after it.
void PulseOutput::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto now = Clock::now();
        if (pulseHigh_) {
            auto fall = fallAt_;
            if (!rises_.empty()) fall = std::min(fall, rises_.front().at - kShortestLevel);
            fall = std::max(fall, lastEdgeAt_ + kShortestLevel);
            if (now < fall) {
                wake_.wait_until(lock, fall);
                continue;
            }
            pulseHigh_ = false;
            lastEdgeAt_ = now;
            postLocked(0);
        } else if (!rises_.empty()) {
            const auto rise = std::max(rises_.front().at, lastEdgeAt_ + kShortestLevel);
            if (now < rise) {
                wake_.wait_until(lock, rise);
                continue;
            }
            const Clock::duration high = std::min(rises_.front().interval / 2, kLongestHigh);
            rises_.pop_front();
            pulseHigh_ = true;
            // Timed by when it was due, so a late wake-up moves neither this beat's
            // interval nor the edges after it.
            lastEdgeAt_ = rise;
            fallAt_ = rise + std::max(high, kShortestLevel);
            postLocked(0, rise);
        } else {
            wake_.wait(lock);
        }
    }
}

} // namespace brix

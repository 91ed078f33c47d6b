// The mean heart rate of the last beats.
#include "training/recent_heart_rate.hpp"

#include <numeric>

#include "record/hrv_figures.hpp"
#include "sensor/sensor_state.hpp"

void RecentHeartRate::add(const SensorBeat& beat) {
    std::optional<std::uint32_t> ticks;
    if (lastTick_) ticks = beat.tick - *lastTick_;
    lastTick_ = beat.tick;
    const double interval = beat.intervalMs != 0 ? beat.intervalMs : ticks.value_or(0);
    if (!beat.counts || interval < kShortestUsableIntervalMs || interval > kLongestUsableIntervalMs)
        return;
    intervals_.push_back(interval);
    if (intervals_.size() > kBeats) intervals_.pop_front();
}

std::optional<double> RecentHeartRate::bpm() const {
    if (intervals_.size() < kBeats) return std::nullopt;
    return 60000.0 * static_cast<double>(intervals_.size()) /
           std::accumulate(intervals_.begin(), intervals_.end(), 0.0);
}

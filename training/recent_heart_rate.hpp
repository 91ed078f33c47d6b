// The heart rate of the last beats, as the sensor reports them whatever the screen shows:
// what a stage of the breathing-rate test, or a session paced at its result, is worked out from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

struct SensorBeat;

class RecentHeartRate {
  public:
    // How many of the last usable beats the rate is the mean of: about two breaths.
    static constexpr std::size_t kBeats = 15;

    // Takes one beat: its sensor-measured interval, else the ticks since the beat before; an
    // interval across a gap or outside 300..2000 ms is left out.
    void add(const SensorBeat& beat);
    // Beats a minute from the mean of the last kBeats usable intervals; empty before kBeats.
    std::optional<double> bpm() const;
    // Usable intervals seen, at most kBeats.
    std::size_t beats() const { return intervals_.size(); }
    void clear() { intervals_.clear(); }

  private:
    std::deque<double> intervals_;
    std::optional<std::uint32_t> lastTick_;
};

// The link's sink: beats placed by the beat schedule and posted as pulse edges with their
// intervals, breath changes posted the same delay after their moments; status and the
// simulated pattern posted at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "link/beat_schedule.hpp"
#include "brix_message.hpp"
#include "link/sensor_source.hpp"

namespace brix {

// Each pulse rise carries its beat's interval and is timed on the program's clock by the
// moment it stands for. While a batching sensor's delay is still being learned, a ready pulse
// is posted as "searching": its beats are not shown yet.
class PulseOutput final : public SourceSink {
  public:
    // Each pulse level lasts at least one frame, so the decoder sees every rise and fall.
    static constexpr std::int64_t kShortestLevelMs = 20;

    PulseOutput(void* window, std::uint32_t message);
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    void batch(const std::vector<double>& rrMs, std::uint32_t arrivedTick) override;
    void timedBeat(double rrMs, std::uint32_t momentTick) override;
    void status(int pulse, int breath) override;
    void breath(bool in, int status, std::uint32_t momentTick) override;
    void deviceLost() override;
    void pattern(std::uintptr_t wParam, std::intptr_t lParam, std::uint32_t tick) override;

    // Ends the edge worker and joins it; nothing is posted after it returns. Owner's thread.
    void stop();

    // The delay from a beat to its rise in use now, ms; -1 while it is learned. Any thread.
    std::int64_t delayMs();

  private:
    struct Rise {
        std::int64_t at;
        double intervalMs; // the pulse stays high half of it
        bool gap;
    };

    struct BreathChange {
        std::int64_t at;
        bool in;
        int status;
    };

    void run();
    bool startWorkerLocked();
    void queueLocked(const std::vector<BeatSchedule::Shown>& shown);
    int postedPulseLocked() const;
    // Posts the current signals and status; a rise with its beat and moment.
    void postLocked(bool deviceLost, const Rise* rise = nullptr);
    // The program's clock, unwrapped to 64 bits so the schedule never sees a wrap.
    std::int64_t nowLocked();
    std::int64_t msOfLocked(std::uint32_t tick);

    void* const window_;
    const std::uint32_t message_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread worker_; // started with the first beat; the simulated device never needs it
    bool stopping_ = false;
    BeatSchedule schedule_;
    std::deque<Rise> rises_;
    std::deque<BreathChange> breaths_;
    std::uint32_t lastTick_;
    std::int64_t clockMs_;
    bool pulseHigh_ = false;
    std::int64_t fallAt_ = 0;
    std::int64_t lastEdgeAt_ = 0; // the last rise or fall
    int pulseStatus_ = 0;         // as the source reports it
    int breathStatus_ = kStatusNoSensor;
    bool breathIn_ = false;
    int postedPulse_ = -1;
};

} // namespace brix

// The link's sink: beats re-timed to their true spacing and posted as pulse edges.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "sensor_source.hpp"

namespace brix {

// A real sensor reports beats late and in batches. Each beat is placed on a chain of its
// own intervals, started by the first batch (its last beat taken as just happened), and
// its pulse rise is posted kBeatDelay after its place, so batches come out evenly spaced
// and the delay stays constant (a recording's beats arrive as they happen: exactly
// kBeatDelay). Status changes and the simulated pattern are posted at once.
class PulseOutput final : public SourceSink {
  public:
    static constexpr Clock::duration kBeatDelay = std::chrono::milliseconds(1200);
    // A rise comes at least this long after its beat arrived; a chain that falls further
    // behind (beats lost) starts anew. Less than a strap's second between batches.
    static constexpr Clock::duration kShortestSlack = std::chrono::milliseconds(50);
    // How far after its arrival a beat may be placed (the first batch's last beat may have
    // come that much after the earlier beats); beyond it the chain starts anew. With the
    // delay, at most 1.5 s from a beat to its rise.
    static constexpr Clock::duration kLongestLead = std::chrono::milliseconds(300);
    // Each pulse level lasts at least one frame, so the decoder sees every rise and fall.
    static constexpr Clock::duration kShortestLevel = std::chrono::milliseconds(20);

    PulseOutput(void* window, std::uint32_t message);
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    void beat(double rrMs, Clock::time_point receivedAt) override;
    void status(int pulse, int breath) override;
    void deviceLost() override;
    void pattern(std::uintptr_t wParam, std::intptr_t lParam) override;

    // Ends the edge worker and joins it; nothing is posted after it returns. Owner's thread.
    void stop();

  private:
    struct Rise {
        Clock::time_point at;
        Clock::duration interval; // the beat's own interval: the pulse stays high half of it
    };

    void run();
    // Posts the current signals and status; a rise with the moment it was due.
    void postLocked(std::uintptr_t extraBits, std::optional<Clock::time_point> due = {}) const;

    void* const window_;
    const std::uint32_t message_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread worker_; // started with the first beat; the simulated device never needs it
    bool stopping_ = false;
    std::deque<Rise> rises_;
    std::optional<Clock::time_point> lastBeat_;
    Clock::time_point anchorArrival_{}; // when the batch that started the chain arrived
    bool pulseHigh_ = false;
    Clock::time_point fallAt_{};
    Clock::time_point lastEdgeAt_{}; // the last rise or fall
    int pulseStatus_ = 0;
    int breathStatus_ = 3;
};

} // namespace brix

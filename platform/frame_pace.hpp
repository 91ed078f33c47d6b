// The frame pace both backends keep around their buffer swap: vsync, a slept period, or none.
// Internal to the platform layer: only the backends include it; the rest sees platform/window.hpp.
#pragma once

#include <chrono>

class FramePace {
public:
    // Chooses the pace when the context is made. fps as in WindowOptions: below 0 vsync (taken
    // when vsyncAccepted, else self-kept at the display's rate), 0 unpaced, N frames a second.
    // refreshRate is asked only when the display's rate is needed, since asking may be slow.
    void start(int fps, bool vsyncAccepted, int (*refreshRate)());

    // Around the system's swap call: before sleeps to the deadline, after measures vsync.
    void beforeSwap();
    void afterSwap();

    double msUntilNextFrame() const; // 0 when due, with vsync and when unpaced
    void restart();                  // the next frame is due now

private:
    using Clock = std::chrono::steady_clock;

    void startSelfPacing(int fps);
    bool selfPaced() const { return !unpaced_ && !vsyncActive_; }

    int (*refreshRate_)() = nullptr;
    bool vsyncActive_ = false;
    bool unpaced_ = false;
    Clock::duration period_{};
    Clock::time_point nextDeadline_{};
    int measuredFrames_ = 0;
    Clock::time_point measureStart_{};
};

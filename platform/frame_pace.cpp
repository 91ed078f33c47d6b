// The frame pace of both backends, on std::chrono alone.
#include "platform/frame_pace.hpp"

#include <thread>

namespace {
// The frames measured after vsync is accepted; taking under half their display time, they
// show that the swap does not block.
constexpr int kMeasuredFrames = 30;
} // namespace

void FramePace::start(int fps, bool vsyncAccepted, int (*refreshRate)()) {
    refreshRate_ = refreshRate;
    unpaced_ = fps == 0;
    vsyncActive_ = false;
    if (unpaced_) return;
    if (fps > 0) {
        startSelfPacing(fps);
    } else if (vsyncAccepted) {
        vsyncActive_ = true;
        measuredFrames_ = 0;
        measureStart_ = Clock::now();
    } else {
        startSelfPacing(refreshRate_());
    }
}

void FramePace::startSelfPacing(int fps) {
    vsyncActive_ = false;
    period_ = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / fps));
    nextDeadline_ = Clock::now() + period_;
}

void FramePace::beforeSwap() {
    if (!selfPaced()) return;
    const auto now = Clock::now();
    if (nextDeadline_ > now) std::this_thread::sleep_until(nextDeadline_);
    nextDeadline_ += period_;
    // Far behind (a stall, a modal box): start counting again instead of racing to catch up.
    if (Clock::now() - nextDeadline_ > period_ * 4) nextDeadline_ = Clock::now() + period_;
}

void FramePace::afterSwap() {
    // Vsync that is accepted but does not block would let frame-counted animation race: the
    // first frames are measured and self-pacing takes over when they come much too fast.
    if (!vsyncActive_ || ++measuredFrames_ != kMeasuredFrames) return;
    const double seconds = std::chrono::duration<double>(Clock::now() - measureStart_).count();
    const int rate = refreshRate_();
    if (seconds < kMeasuredFrames * 0.5 / rate) startSelfPacing(rate);
}

double FramePace::msUntilNextFrame() const {
    if (!selfPaced()) return 0.0;
    const auto left = std::chrono::duration<double, std::milli>(nextDeadline_ - Clock::now());
    return left.count() > 0.0 ? left.count() : 0.0;
}

void FramePace::restart() {
    if (selfPaced()) nextDeadline_ = Clock::now();
}

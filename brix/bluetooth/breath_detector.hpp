// Breathing in or out, from a chest strap's accelerometer samples and their host times.
#pragma once

#include "brix_message.hpp"

namespace brix {

// The strap tilts and lifts with the chest: a slow swing of a few tens of mG on top of
// gravity. The detector removes gravity, keeps the breathing band, finds the direction the
// breath swings along (and follows it as the user moves), and turns the swing along it into
// "in" (chest expanding) or "out" with hysteresis. Pure: it sees only the samples and their
// times, so recorded and synthetic signals test it. Not thread-safe: one thread feeds it.
class BreathDetector {
  public:
    // The breath sensor's status codes, as the link reports them.
    static constexpr int kSwitchingOn = kStatusSwitchingOn; // the stream has just started
    static constexpr int kSearching = kStatusSearching; // no breathing yet, or a movement swamps it
    static constexpr int kReady = kStatusReady;

    // One sample: its time on the host's clock (s, any origin, not decreasing) and the
    // acceleration along the strap's axes (mG; z points out of the chest). True when
    // breathingIn() or status() changed with it.
    bool add(double timeS, double x, double y, double z);

    bool breathingIn() const { return in_; }
    int status() const { return status_; }
    // When the last change happened (s, the samples' clock). A turn of the breath is only
    // sure once the breath has come back from its extreme by a little, most of a second
    // later on a slow, round breath; its moment is the extreme itself (less the band
    // filter's delay), so that the change can be shown when it happened. A change of status
    // happens at the sample that made it.
    double changeTimeS() const { return changeTimeS_; }

    // The breathing direction now followed (a unit vector in the strap's axes).
    double axisX() const { return axis_[0]; }
    double axisY() const { return axis_[1]; }
    double axisZ() const { return axis_[2]; }

    void reset(); // a new stream

  private:
    void step(const double sample[3]);
    void followAxis(const double band[3]);
    void trackTurns(double along);
    void restartSearch(int breathsNeeded);

    // Samples are averaged over steps of a fixed length, so the cost and the filters do not
    // depend on the strap's rate.
    long long bin_ = 0;
    bool binOpen_ = false;
    double binSum_[3] = {0, 0, 0};
    int binCount_ = 0;
    double lastStep_[3] = {0, 0, 0};
    int steps_ = 0; // since the stream started
    double stepTimeS_ = 0; // the middle of the step being taken
    double changeTimeS_ = 0;
    double inChangedAtS_ = 0; // when in_ last changed, as changeTimeS() tells it

    double gravity_[3] = {0, 0, 0};
    double lowPassIn_[2][3] = {};  // the low-pass filter's last two inputs
    double lowPassOut_[2][3] = {}; // ... and outputs
    double previousSample_[3] = {0, 0, 0};
    double motionPower_ = 0;       // mean square of the step-to-step change (mG^2)
    int quietSteps_ = 0;
    bool moving_ = false;

    double covariance_[3][3] = {};
    double axis_[3] = {0, 0, 1};

    bool in_ = false;
    int status_ = kSwitchingOn;
    double extreme_ = 0;      // the highest (in) or lowest (out) point since the last turn
    double extremeTimeS_ = 0; // ... and when it was reached
    // The breath along its direction over the last half second, for its speed (over each
    // quarter second).
    static constexpr int kSpeedSteps = 5;
    double recentAlong_[2 * kSpeedSteps] = {};
    int recentAt_ = 0;
    double lastTurnLevel_ = 0;
    int stepsSinceTurn_ = 0;
    bool turnSeen_ = false;
    double swing_ = 0;        // typical swing of a half breath (mG); 0 until one is seen
    int goodHalves_ = 0;      // breath halves of breathing size in a row
    int halvesNeeded_ = 0;
};

} // namespace brix

// The breath detector: steps, gravity, breathing band, breathing direction, turns and status.
#include "bluetooth/breath_detector.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace brix {

namespace {

// 20 steps a second: ten times the fastest breathing (30 a minute), and the averaging of
// 2 to 10 samples a step takes the heartbeat's sharp ripple and the noise down.
constexpr double kStepS = 0.05;
constexpr double kStepsPerSecond = 1.0 / kStepS;

// Gravity is what stays: a 10 s average. Slower would carry a change of posture for long;
// faster would eat the slowest breaths (3 a minute, 20 s each) and lead their turns.
constexpr double kGravityWeight = kStepS / 10.0;
// While the user moves, gravity is followed within half a second, so a new posture is
// taken as it comes instead of swinging the breath for the next ten.
constexpr double kMovingGravityWeight = kStepS / 0.5;
// The breathing band's upper edge. Breathing goes up to 0.5 Hz (30 a minute); the heart
// beats from about 1 Hz: 1 Hz keeps the breath with little lag (0.23 s) and thins the ripple.
constexpr double kLowPassHz = 1.0;
// What the low-pass delays a slow signal by: its group delay at 0 Hz, sqrt(2) / (2 pi fc).
constexpr double kLowPassDelayS = 1.4142135623730951 / (2.0 * std::numbers::pi * kLowPassHz);
// The breathing direction comes from the last 20 s: a slow breath at least.
constexpr double kCovarianceWeight = kStepS / 20.0;
// The strap's z axis points out of the chest; a direction this close to it takes its sign
// from it (a rise along z is the chest expanding). Closer to the chest's plane the sign is
// carried over from the direction before.
constexpr double kAnchorCosine = 0.3;

// Movement: the change from step to step (a breath moves at most about 2 mG in 50 ms, the
// ripple and noise a little more) or a swing far beyond breathing (a change of posture).
constexpr double kMotionWeight = kStepS / 0.5;
constexpr double kMovingRmsMg = 6.0;
constexpr double kQuietRmsMg = 4.0;
constexpr double kPostureMg = 150.0;
constexpr int kQuietSteps = static_cast<int>(1.0 * kStepsPerSecond);

// A turn is taken when the breath comes back from its extreme by this much: a tenth of the
// usual half-breath swing (6 %), and never less than the noise left in the band.
constexpr double kMinHysteresisMg = 1.5;
constexpr double kRelativeHysteresis = 0.06;
// A half breath of breathing size: a swing of at least 3 mG lasting at least 0.6 s (the
// fastest breathing's half is 1 s).
constexpr double kBreathSwingMg = 3.0;
constexpr int kShortestHalfSteps = static_cast<int>(0.6 * kStepsPerSecond);
constexpr double kSwingWeight = 0.3;
// Two breaths (four halves) before the first "ready"; after a movement one breath will do,
// the direction being known.
constexpr int kHalvesAtStart = 4;
constexpr int kHalvesAfterMovement = 2;

constexpr int kStartSteps = static_cast<int>(1.0 * kStepsPerSecond); // "switching on"
constexpr long long kLongestGapSteps = static_cast<long long>(1.0 * kStepsPerSecond);

// Second-order Butterworth low-pass at kLowPassHz (bilinear transform at the step rate).
struct LowPass {
    double b0, b1, b2, a1, a2;
};

LowPass makeLowPass() {
    const double k = std::tan(std::numbers::pi * kLowPassHz * kStepS);
    const double norm = 1.0 / (1.0 + std::sqrt(2.0) * k + k * k);
    const double b0 = k * k * norm;
    return {b0, 2.0 * b0, b0, 2.0 * (k * k - 1.0) * norm, (1.0 - std::sqrt(2.0) * k + k * k) * norm};
}

const LowPass kLowPass = makeLowPass();

double dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

} // namespace

void BreathDetector::reset() {
    *this = BreathDetector{};
}

bool BreathDetector::add(double timeS, double x, double y, double z) {
    const bool wasIn = in_;
    const int wasStatus = status_;
    const auto bin = static_cast<long long>(std::floor(timeS / kStepS));
    if (binOpen_ && bin > bin_) {
        double mean[3];
        for (int axis = 0; axis < 3; ++axis) mean[axis] = binSum_[axis] / binCount_;
        stepTimeS_ = (static_cast<double>(bin_) + 0.5) * kStepS;
        step(mean);
        const long long missing = bin - bin_ - 1;
        if (missing > kLongestGapSteps) {
            // Too long without samples to bridge: the stream starts again.
            reset();
        } else {
            // A lost frame or two: the last step stands in for them.
            for (long long i = 0; i < missing; ++i) {
                stepTimeS_ += kStepS;
                step(lastStep_);
            }
        }
        binOpen_ = false;
    }
    if (!binOpen_) {
        binOpen_ = true;
        bin_ = bin;
        binSum_[0] = binSum_[1] = binSum_[2] = 0.0;
        binCount_ = 0;
    }
    // A sample stamped a little before the open step (the clock mapping moved) joins it.
    binSum_[0] += x;
    binSum_[1] += y;
    binSum_[2] += z;
    ++binCount_;
    if (in_ != wasIn) changeTimeS_ = std::fmin(inChangedAtS_, timeS);
    else if (status_ != wasStatus) changeTimeS_ = timeS;
    return in_ != wasIn || status_ != wasStatus;
}

void BreathDetector::step(const double sample[3]) {
    for (int axis = 0; axis < 3; ++axis) lastStep_[axis] = sample[axis];
    if (steps_ == 0) {
        for (int axis = 0; axis < 3; ++axis) gravity_[axis] = previousSample_[axis] = sample[axis];
        restartSearch(kHalvesAtStart);
    }
    ++steps_;

    double change = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        const double d = sample[axis] - previousSample_[axis];
        change += d * d;
        previousSample_[axis] = sample[axis];
    }
    motionPower_ += kMotionWeight * (change - motionPower_);

    const double gravityWeight = moving_ ? kMovingGravityWeight : kGravityWeight;
    double high[3];
    double band[3];
    for (int axis = 0; axis < 3; ++axis) {
        gravity_[axis] += gravityWeight * (sample[axis] - gravity_[axis]);
        high[axis] = sample[axis] - gravity_[axis];
        band[axis] = kLowPass.b0 * high[axis] + kLowPass.b1 * lowPassIn_[0][axis] +
                     kLowPass.b2 * lowPassIn_[1][axis] - kLowPass.a1 * lowPassOut_[0][axis] -
                     kLowPass.a2 * lowPassOut_[1][axis];
        lowPassIn_[1][axis] = lowPassIn_[0][axis];
        lowPassIn_[0][axis] = high[axis];
        lowPassOut_[1][axis] = lowPassOut_[0][axis];
        lowPassOut_[0][axis] = band[axis];
    }

    const double offGravity = std::sqrt(dot(high, high));
    if (motionPower_ > kMovingRmsMg * kMovingRmsMg || offGravity > kPostureMg) {
        moving_ = true;
        quietSteps_ = 0;
    } else if (moving_ && motionPower_ < kQuietRmsMg * kQuietRmsMg &&
               ++quietSteps_ >= kQuietSteps) {
        // Still again. The band starts from here, the old direction counts for little, and
        // the breathing is looked for again.
        moving_ = false;
        for (int axis = 0; axis < 3; ++axis) {
            lowPassIn_[0][axis] = lowPassIn_[1][axis] = high[axis];
            lowPassOut_[0][axis] = lowPassOut_[1][axis] = high[axis];
            band[axis] = high[axis];
        }
        for (auto& row : covariance_)
            for (double& cell : row) cell *= 0.1;
        restartSearch(kHalvesAfterMovement);
    }
    if (moving_) {
        status_ = kSearching;
        return;
    }

    followAxis(band);
    trackTurns(dot(band, axis_));

    if (steps_ < kStartSteps)
        status_ = kSwitchingOn;
    else if (goodHalves_ >= halvesNeeded_) {
        status_ = kReady;
        halvesNeeded_ = 0; // ready stays until a movement or a new stream
    } else
        status_ = kSearching;
}

void BreathDetector::followAxis(const double band[3]) {
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            covariance_[row][col] +=
                kCovarianceWeight * (band[row] * band[col] - covariance_[row][col]);
    // One step of power iteration a step follows the principal axis as it turns. The
    // covariance has no negative eigenvalue, so the new axis never points away from the old
    // one: the sign carries over by itself.
    double next[3];
    for (int row = 0; row < 3; ++row) next[row] = dot(covariance_[row], axis_);
    const double length = std::sqrt(dot(next, next));
    if (!(length > 1e-12)) return;
    for (double& value : next) value /= length;
    if (next[2] <= -kAnchorCosine) {
        // Clearly against the strap's z axis: the carried sign was wrong (the direction was
        // first found across the chest). Expansion is a rise along z: flip the axis, and
        // with it the state read along it.
        for (double& value : next) value = -value;
        in_ = !in_;
        inChangedAtS_ = stepTimeS_;
        extreme_ = -extreme_;
        lastTurnLevel_ = -lastTurnLevel_;
    }
    for (int axis = 0; axis < 3; ++axis) axis_[axis] = next[axis];
}

void BreathDetector::trackTurns(double along) {
    if (!turnSeen_) {
        extreme_ = lastTurnLevel_ = along;
        extremeTimeS_ = stepTimeS_;
        stepsSinceTurn_ = 0;
        turnSeen_ = true;
        return;
    }
    // A held breath sinks back towards zero as the gravity average takes it in; its
    // extreme sinks with it by the same factor, so a hold is never read as a turn.
    extreme_ *= 1.0 - kGravityWeight;
    lastTurnLevel_ *= 1.0 - kGravityWeight;
    ++stepsSinceTurn_;

    const double hysteresis = std::fmax(kMinHysteresisMg, kRelativeHysteresis * swing_);
    const bool turned = in_ ? along < extreme_ - hysteresis : along > extreme_ + hysteresis;
    // Ring of the last 2 x kSpeedSteps steps: the oldest, and the one half way.
    const double alongOldest = recentAlong_[recentAt_];
    const double alongBefore = recentAlong_[(recentAt_ + kSpeedSteps) % (2 * kSpeedSteps)];
    recentAlong_[recentAt_] = along;
    recentAt_ = (recentAt_ + 1) % (2 * kSpeedSteps);
    if (!turned) {
        if (in_ ? along > extreme_ : along < extreme_) {
            extreme_ = along;
            extremeTimeS_ = stepTimeS_;
        }
        return;
    }
    // When the breath left its extreme, from how far it has come and how fast it goes: a
    // breath leaving at full speed (after a hold) has come that far at its present speed; one
    // rolling over a round top, its speed growing from nothing, took twice as long. How the
    // speed grew over the last two quarter seconds tells which. Never before the top.
    const double window = kSpeedSteps * kStepS;
    const double speed = std::fabs(along - alongBefore) / window;
    const double speedBefore = std::fabs(alongBefore - alongOldest) / window;
    double leftAtS = extremeTimeS_;
    if (speed > 0.0) {
        const double atSpeed = std::fabs(extreme_ - along) / speed;
        // Speed growing in a straight line from zero: zero that long ago.
        const double sinceStill =
            speed > speedBefore ? (window * speed / (speed - speedBefore)) - window / 2 : 2 * atSpeed;
        leftAtS = std::fmax(extremeTimeS_,
                            stepTimeS_ - std::clamp(sinceStill, atSpeed, 2 * atSpeed));
    }
    const double halfSwing = std::fabs(extreme_ - lastTurnLevel_);
    if (halfSwing >= kBreathSwingMg && stepsSinceTurn_ >= kShortestHalfSteps) {
        swing_ = swing_ == 0.0 ? halfSwing : swing_ + kSwingWeight * (halfSwing - swing_);
        ++goodHalves_;
    } else {
        goodHalves_ = 0;
    }
    lastTurnLevel_ = extreme_;
    // The band filter showed it that much later.
    inChangedAtS_ = leftAtS - kLowPassDelayS;
    extreme_ = along;
    extremeTimeS_ = stepTimeS_;
    stepsSinceTurn_ = 0;
    in_ = !in_;
}

void BreathDetector::restartSearch(int halvesNeeded) {
    halvesNeeded_ = halvesNeeded;
    goodHalves_ = 0;
    turnSeen_ = false;
}

} // namespace brix

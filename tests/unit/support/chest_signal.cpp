// The synthetic chest: gravity tilted by the breath, a heartbeat ripple, noise and movement.
#include "chest_signal.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

using Vec = std::array<double, 3>;

Vec unit(Vec v) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return {v[0] / length, v[1] / length, v[2] / length};
}

Vec blend(const Vec& a, const Vec& b, double w) {
    return unit({a[0] + w * (b[0] - a[0]), a[1] + w * (b[1] - a[1]), a[2] + w * (b[2] - a[2])});
}

// Sitting upright, leaning back a little; then reclined. The breath tilts the strap mostly
// out of the chest (a positive z component: expansion is a rise along z).
const Vec kGravityBefore = unit({0.1, -0.94, -0.33});
const Vec kGravityAfter = unit({0.3, -0.6, -0.74});
const Vec kBreathBefore = unit({0.15, 0.35, 0.92});
const Vec kBreathAfter = unit({0.55, -0.2, 0.81});
const Vec kRippleDirection = unit({0.2, 0.8, 0.55});
constexpr double kGravityMg = 1000.0;
constexpr double kPostureTurnS = 2.0;

struct Segments {
    double in, holdIn, out, holdOut; // shares of a breath
};

Segments segmentsOf(BreathShape shape) {
    switch (shape) {
    case BreathShape::Paced: return {0.3, 0.1, 0.4, 0.2};
    case BreathShape::Asymmetric: return {0.35, 0.0, 0.65, 0.0};
    case BreathShape::Sine: break;
    }
    return {0.5, 0.0, 0.5, 0.0};
}

// A heartbeat felt on the chest: a sharp push and a smaller rebound.
double ripple(double sinceBeatS) {
    auto bump = [](double t, double at, double width) {
        const double u = (t - at) / width;
        return std::exp(-u * u);
    };
    return bump(sinceBeatS, 0.08, 0.025) - 0.7 * bump(sinceBeatS, 0.18, 0.035);
}

} // namespace

ChestSignal::ChestSignal(const ChestOptions& options) : options_(options), random_(options.seed) {}

double ChestSignal::fullness(double timeS) const {
    const double period = 60.0 / options_.breathsPerMinute;
    const double u = std::fmod(timeS, period) / period;
    if (options_.shape == BreathShape::Sine) return 0.5 - 0.5 * std::cos(2 * std::numbers::pi * u);
    // Inhale and exhale each start at full speed and ease into the hold or the next turn.
    const Segments s = segmentsOf(options_.shape);
    const double quarter = std::numbers::pi / 2;
    if (u < s.in) return std::sin(quarter * u / s.in);
    if (u < s.in + s.holdIn) return 1.0;
    if (u < s.in + s.holdIn + s.out) return 1.0 - std::sin(quarter * (u - s.in - s.holdIn) / s.out);
    return 0.0;
}

bool ChestSignal::breathingIn(double timeS) const {
    const double period = 60.0 / options_.breathsPerMinute;
    const Segments s = segmentsOf(options_.shape);
    return std::fmod(timeS, period) / period < s.in + s.holdIn;
}

std::vector<double> ChestSignal::turns(double seconds) const {
    const double period = 60.0 / options_.breathsPerMinute;
    const Segments s = segmentsOf(options_.shape);
    std::vector<double> result;
    for (double start = 0.0; start < seconds; start += period) {
        result.push_back(start);
        if (start + (s.in + s.holdIn) * period < seconds)
            result.push_back(start + (s.in + s.holdIn) * period);
    }
    return result;
}

bool ChestSignal::moving(double timeS) const {
    for (const auto& [start, length] : options_.movements)
        if (timeS >= start && timeS < start + length) return true;
    const double posture = options_.postureChangeS;
    return posture >= 0.0 && timeS >= posture - 0.5 && timeS < posture + kPostureTurnS + 0.5;
}

std::vector<ChestSample> ChestSignal::samples(double seconds) {
    std::normal_distribution<double> noise(0.0, options_.noiseMg);
    std::uniform_real_distribution<double> spread(-1.0, 1.0);
    const double beatS = 60.0 / options_.heartBpm;
    std::vector<ChestSample> result;
    const auto count = static_cast<std::size_t>(seconds * options_.sampleRateHz);
    result.reserve(count);
    Vec shakeDirection = unit({spread(random_), spread(random_), spread(random_)});
    bool wasMoving = false;
    double nextBeat = 0.3;
    double lastBeat = -10.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / options_.sampleRateHz;
        if (t >= nextBeat) {
            lastBeat = nextBeat;
            nextBeat += beatS * (1.0 + 0.04 * spread(random_));
        }
        double w = 0.0;
        if (options_.postureChangeS >= 0.0)
            w = std::clamp((t - options_.postureChangeS) / kPostureTurnS, 0.0, 1.0);
        const Vec gravity = blend(kGravityBefore, kGravityAfter, w);
        const Vec breath = blend(kBreathBefore, kBreathAfter, w);
        const double swing = options_.swingMg * (fullness(t) - 0.5);
        const double heart = options_.heartRippleMg * ripple(t - lastBeat);
        const bool shaken = moving(t);
        if (shaken && !wasMoving)
            shakeDirection = unit({spread(random_), spread(random_), spread(random_)});
        wasMoving = shaken;
        const double shake =
            shaken ? 120.0 * std::sin(2 * std::numbers::pi * 1.7 * t) +
                         60.0 * std::sin(2 * std::numbers::pi * 3.1 * t + 1.0)
                   : 0.0;
        double axes[3];
        for (int a = 0; a < 3; ++a)
            axes[a] = kGravityMg * gravity[a] + swing * breath[a] + heart * kRippleDirection[a] +
                      shake * shakeDirection[a] + noise(random_) + (shaken ? 10.0 * noise(random_) : 0.0);
        result.push_back({t, axes[0], axes[1], axes[2]});
    }
    return result;
}

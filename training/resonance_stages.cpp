// Stage formulas from the heart rate: a breath of so many seconds is so many beats.
#include "training/resonance_stages.hpp"

#include <algorithm>
#include <cmath>

BreathFormula formulaForRate(double heartRateBpm, double breathsPerMinute) {
    const double beats = std::clamp(std::round(heartRateBpm / breathsPerMinute), 2.0, 198.0);
    const auto cycle = static_cast<std::int32_t>(beats);
    const std::int32_t inhale =
        std::clamp(static_cast<std::int32_t>(std::lround(0.4 * beats)), 1, 99);
    return {inhale, 0, std::min(cycle - inhale, 99), 0};
}

std::int32_t cyclesForSeconds(const BreathFormula& formula, double heartRateBpm, double seconds) {
    const double cycleSeconds =
        (formula[0] + formula[1] + formula[2] + formula[3]) * 60.0 / heartRateBpm;
    return std::max<std::int32_t>(2,
                                  static_cast<std::int32_t>(std::lround(seconds / cycleSeconds)));
}

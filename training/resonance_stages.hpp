// The breathing-rate test's stages: the rates tried, and each stage's formula and length worked
// out in beats from the heart rate measured before it.
#pragma once

#include <array>
#include <cstdint>

#include "training/presets.hpp"

// Breaths a minute, in the order the stages run: from the usual resting rate down.
inline constexpr std::array<double, 5> kResonanceRates{6.5, 6.0, 5.5, 5.0, 4.5};
inline constexpr double kResonanceStageSeconds = 120.0;

// The formula that paces `breathsPerMinute` at `heartRateBpm`: a cycle of HR / rate beats
// (rounded, at least 2), 40 % of it breathing in and the rest out, no pauses. At most 99 beats
// in a phase, as the menu allows.
BreathFormula formulaForRate(double heartRateBpm, double breathsPerMinute);

// The whole cycles of `formula` that fill `seconds` at `heartRateBpm` (at least 2, so that a
// short stage still has a cycle beside the first).
std::int32_t cyclesForSeconds(const BreathFormula& formula, double heartRateBpm, double seconds);

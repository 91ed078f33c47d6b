// Goals and difficulty levels: the breathing formula each goal gives at each level.
#pragma once

#include <array>
#include <cstdint>

// Beat counts of inhale, pause after inhale, exhale, pause after exhale.
using BreathFormula = std::array<std::int32_t, 4>;

// The preset formula of a goal row (7..18) at a level (1..6); any other row gives 1-4-2-2.
BreathFormula presetFormula(std::int32_t goal, std::int32_t level);

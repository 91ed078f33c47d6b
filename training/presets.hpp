// Goals and difficulty levels, and the row actions of the selectable lists.
#pragma once

#include <cstdint>

#include "training/training_session.hpp"

// The preset formula of a goal row (7..18) at a level (1..6); any other row gives 1-4-2-2.
BreathFormula presetFormula(std::int32_t goal, std::int32_t level);

void goalRowClicked(std::uint32_t position);
void levelRowClicked(std::uint32_t position);
void pulseIntervalRowClicked(std::uint32_t position);
void exerciseRowClicked(std::uint32_t position);

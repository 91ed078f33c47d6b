// The actions of the selectable rows: exercise, graph mode, goal and level.
#pragma once

#include <cstdint>

void goalRowClicked(std::uint32_t position);
void levelRowClicked(std::uint32_t position);
void pulseIntervalRowClicked(std::uint32_t position);
void exerciseRowClicked(std::uint32_t position);

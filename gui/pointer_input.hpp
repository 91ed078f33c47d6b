// The hover callbacks every widget of the menu uses.
#pragma once

#include <cstdint>

void hoverMenuItem(std::uint32_t position);
void hoverListButton(std::uint32_t position);
void hoverSmallButton(std::uint32_t position);

// The actions of the main-menu entries and of the formula and cycle-count steppers.
#pragma once

#include <cstdint>

void startClicked(std::uint32_t position);
void goalMenuClicked(std::uint32_t position);
void modeMenuClicked(std::uint32_t position);
void formulaMenuClicked(std::uint32_t position);
void appearanceMenuClicked(std::uint32_t position);
void optionsMenuClicked(std::uint32_t position);
void exitClicked(std::uint32_t position);
void formulaStepClicked(std::uint32_t position);
void cyclesStepClicked(std::uint32_t position);

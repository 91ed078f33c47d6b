// STUB: replaced by the menu actions.
#include "training/menu_actions.hpp"

void startClicked(std::uint32_t) {}
void goalMenuClicked(std::uint32_t) {}
void modeMenuClicked(std::uint32_t) {}
void formulaMenuClicked(std::uint32_t) {}
void appearanceMenuClicked(std::uint32_t) {}
void optionsMenuClicked(std::uint32_t) {}
void exitClicked(std::uint32_t) {}
void formulaStepClicked(std::uint32_t) {}
void cyclesStepClicked(std::uint32_t) {}

// STUB: replaced by the pointer-input implementation.
#include "gui/pointer_input.hpp"
#include "gui/gui.hpp"

bool Gui::hitTest(std::uint8_t, float, float, float, float, float, float) const { return false; }
bool Gui::insideMenuFrame(float, float) const { return false; }
void Gui::onHover(float, float) {}
void Gui::onClick(float, float) {}
void hoverMenuItem(std::uint32_t) {}
void hoverListButton(std::uint32_t) {}
void hoverSmallButton(std::uint32_t) {}

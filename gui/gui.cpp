// STUB: replaced by the Gui implementation.
#include "gui/gui.hpp"
#include "platform/ticks.hpp"

Gui gui;

Gui::Gui() {
    session.lastBeatTick = tickMs();
    loadTextures();
}
void Gui::addMenuItem(float, float, float, float, std::uint8_t, const char*, WidgetCallback, WidgetCallback) {}
void Gui::addListButton(std::int32_t, float, float, float, float, std::uint8_t, const char*, WidgetCallback, WidgetCallback) {}
void Gui::addSmallButton(float, float, float, float, float, float, float, std::uint8_t, const char*, WidgetCallback, WidgetCallback) {}
bool Gui::addPanel(std::int32_t, float, float, float, float, std::uint8_t, const char*, std::string) { return true; }
void Gui::styleMenuItem(float, float, std::int32_t, float, float, float, float, std::uint32_t) {}
void Gui::styleListButton(float, float, std::int32_t, float, float, float, float, std::uint32_t) {}
void Gui::styleSmallButton(float, float, std::int32_t, float, float, float, float, std::uint32_t) {}
void Gui::selectListButton(float, float, float, std::uint32_t) {}
void Gui::hideAllListButtons() {}
void Gui::showListGroup(std::int32_t) {}
void Gui::hideListGroup(std::int32_t) {}
void Gui::setPanelStatus(std::int32_t, double, double, double, double, std::string) {}

// The Gui: initial values, creating widgets, restyling, radio selection, groups, panel status.
#include "gui/gui.hpp"

#include <utility>

#include "platform/ticks.hpp"

Gui gui;

Gui::Gui() {
    session.lastBeatTick = tickMs();
    loadTextures(); // without a current OpenGL context this does nothing
}

// The records' member initialisers hold the creation look (grey at alpha 0.7, no grow, fade
// divisor 1, not hovered, not selected, not checked); the arguments fill in the rest.

void Gui::addMenuItem(float x, float y, float halfWidth, float halfHeight, std::uint8_t visible,
                      const char* caption, WidgetCallback onHoverCallback,
                      WidgetCallback onClickCallback) {
    menuItems.push_back(MenuItem{.x = x, .y = y, .halfWidth = halfWidth, .halfHeight = halfHeight,
                                 .visible = visible, .onHover = onHoverCallback,
                                 .onClick = onClickCallback, .caption = caption});
}

void Gui::addListButton(std::int32_t group, float x, float y, float halfWidth, float halfHeight,
                        std::uint8_t visible, const char* caption, WidgetCallback onHoverCallback,
                        WidgetCallback onClickCallback) {
    listButtons.push_back(ListButton{.x = x, .y = y, .halfWidth = halfWidth,
                                     .halfHeight = halfHeight, .group = group, .visible = visible,
                                     .onHover = onHoverCallback, .onClick = onClickCallback,
                                     .caption = caption});
}

void Gui::addSmallButton(float x, float y, float checkedRed, float checkedGreen, float checkedBlue,
                         float halfWidth, float halfHeight, std::uint8_t visible,
                         const char* caption, WidgetCallback onHoverCallback,
                         WidgetCallback onClickCallback) {
    smallButtons.push_back(SmallButton{.x = x, .y = y, .halfWidth = halfWidth,
                                       .halfHeight = halfHeight, .checkedRed = checkedRed,
                                       .checkedGreen = checkedGreen, .checkedBlue = checkedBlue,
                                       .visible = visible, .onHover = onHoverCallback,
                                       .onClick = onClickCallback, .caption = caption});
}

bool Gui::addPanel(std::int32_t index, float x, float y, float halfWidth, float halfHeight,
                   std::uint8_t visible, const char* title, std::string status) {
    Panel panel{.x = x, .y = y, .halfWidth = halfWidth, .halfHeight = halfHeight,
                .visible = visible, .title = title, .status = std::move(status), .index = index};
    for (const Panel& existing : panels)
        if (existing.index == index) return false;
    panels.push_back(std::move(panel));
    return true;
}

namespace {
// The seven fields a style operation overwrites, for any of the three button records.
template <typename Widget>
void applyStyle(Widget& widget, float growX, float growY, std::int32_t fadeDivisor, float red,
                float green, float blue, float alpha) {
    widget.growX = growX;
    widget.growY = growY;
    widget.fadeDivisor = fadeDivisor;
    widget.red = red;
    widget.green = green;
    widget.blue = blue;
    widget.alpha = alpha;
}
} // namespace

void Gui::styleMenuItem(float growX, float growY, std::int32_t fadeDivisor, float red, float green,
                        float blue, float alpha, std::uint32_t position) {
    applyStyle(menuItems.at(position), growX, growY, fadeDivisor, red, green, blue, alpha);
}

void Gui::styleListButton(float growX, float growY, std::int32_t fadeDivisor, float red,
                          float green, float blue, float alpha, std::uint32_t position) {
    applyStyle(listButtons.at(position), growX, growY, fadeDivisor, red, green, blue, alpha);
}

void Gui::styleSmallButton(float growX, float growY, std::int32_t fadeDivisor, float red,
                           float green, float blue, float alpha, std::uint32_t position) {
    applyStyle(smallButtons.at(position), growX, growY, fadeDivisor, red, green, blue, alpha);
}

void Gui::selectListButton(float red, float green, float blue, std::uint32_t position) {
    if (!inMenu) return;
    ListButton& chosen = listButtons.at(position);
    for (ListButton& row : listButtons)
        if (row.group == chosen.group) row.selected = 0;
    chosen.selected = 1;
    chosen.selectedRed = red;
    chosen.selectedGreen = green;
    chosen.selectedBlue = blue;
}

void Gui::hideAllListButtons() {
    if (!inMenu) return;
    for (ListButton& row : listButtons) row.visible = 0;
}

void Gui::showListGroup(std::int32_t group) {
    if (!inMenu) return;
    for (ListButton& row : listButtons)
        if (row.group == group) row.visible = 1;
}

void Gui::hideListGroup(std::int32_t group) {
    if (!inMenu) return;
    for (ListButton& row : listButtons)
        if (row.group == group) row.visible = 0;
}

void Gui::setPanelStatus(std::int32_t index, double red, double green, double blue, double alpha,
                         std::string text) {
    for (Panel& panel : panels) {
        if (panel.index != index) continue;
        panel.status = std::move(text);
        panel.statusRed = red;
        panel.statusGreen = green;
        panel.statusBlue = blue;
        panel.statusAlpha = alpha;
        return;
    }
}

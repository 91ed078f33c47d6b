// The Gui: initial values, creating widgets, restyling, radio selection, groups, panel status.
#include "gui/gui.hpp"

#include <utility>

#include "platform/ticks.hpp"

Gui gui;

Gui::Gui() {
    session.lastBeatTick = tickMs();
    loadTextures(); // without a current OpenGL context this does nothing
}

void Gui::addMenuItem(float x, float y, float halfWidth, float halfHeight, std::uint8_t visible,
                      const char* caption, WidgetCallback onHoverCallback,
                      WidgetCallback onClickCallback) {
    MenuItem item{};
    item.x = x;
    item.y = y;
    item.halfWidth = halfWidth;
    item.halfHeight = halfHeight;
    item.red = 0.5f;
    item.green = 0.5f;
    item.blue = 0.5f;
    item.alpha = 0.7f;
    item.fadeDivisor = 1;
    item.visible = visible;
    item.onHover = onHoverCallback;
    item.onClick = onClickCallback;
    item.caption = caption;
    menuItems.push_back(item);
}

void Gui::addListButton(std::int32_t group, float x, float y, float halfWidth, float halfHeight,
                        std::uint8_t visible, const char* caption, WidgetCallback onHoverCallback,
                        WidgetCallback onClickCallback) {
    ListButton row{};
    row.x = x;
    row.y = y;
    row.halfWidth = halfWidth;
    row.halfHeight = halfHeight;
    row.red = 0.5f;
    row.alpha = 0.7f;
    row.green = 0.5f;
    row.blue = 0.5f;
    row.fadeDivisor = 1;
    row.group = group;
    row.visible = visible;
    row.onHover = onHoverCallback;
    row.onClick = onClickCallback;
    row.caption = caption;
    listButtons.push_back(row);
}

void Gui::addSmallButton(float x, float y, float checkedRed, float checkedGreen, float checkedBlue,
                         float halfWidth, float halfHeight, std::uint8_t visible,
                         const char* caption, WidgetCallback onHoverCallback,
                         WidgetCallback onClickCallback) {
    SmallButton button{};
    button.x = x;
    button.y = y;
    button.halfWidth = halfWidth;
    button.halfHeight = halfHeight;
    button.red = 0.5f;
    button.alpha = 0.7f;
    button.green = 0.5f;
    button.blue = 0.5f;
    button.checkedRed = checkedRed;
    button.checkedGreen = checkedGreen;
    button.checkedBlue = checkedBlue;
    button.fadeDivisor = 1;
    button.raised = 1;
    button.visible = visible;
    button.onHover = onHoverCallback;
    button.onClick = onClickCallback;
    button.caption = caption;
    smallButtons.push_back(button);
}

bool Gui::addPanel(std::int32_t index, float x, float y, float halfWidth, float halfHeight,
                   std::uint8_t visible, const char* title, std::string status) {
    Panel panel{};
    panel.x = x;
    panel.y = y;
    panel.halfWidth = halfWidth;
    panel.halfHeight = halfHeight;
    panel.red = 0.5f;
    panel.green = 0.55f;
    panel.blue = 0.5f;
    panel.alpha = 0.7f;
    panel.visible = visible;
    panel.statusAlpha = 1.0;
    panel.title = title;
    panel.status = std::move(status);
    panel.index = index;
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

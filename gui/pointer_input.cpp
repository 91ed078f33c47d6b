// Pointer input: the hit test, the hover and click passes, and the three hover looks.
#include "gui/pointer_input.hpp"

#include "gui/gui.hpp"

namespace {

// Clears every `hovered` flag of the list, then finds the first visible widget under the
// pointer (the first created wins where widgets overlap). -1 when none is hit.
template <typename Widget>
int hitInList(const Gui& owner, std::vector<Widget>& widgets, float x, float y) {
    for (Widget& widget : widgets) widget.hovered = 0;
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        const Widget& w = widgets[i];
        if (owner.hitTest(w.visible, x, y, w.x, w.y, w.halfWidth, w.halfHeight))
            return static_cast<int>(i);
    }
    return -1;
}

// One pass that marks the hit widget hovered and calls the callback chosen by `member`.
template <typename Widget>
void hoverOrClickPass(Gui& owner, std::vector<Widget>& widgets, float x, float y,
                      WidgetCallback Widget::*member) {
    const int hit = hitInList(owner, widgets, x, y);
    if (hit < 0) return;
    const auto position = static_cast<std::uint32_t>(hit);
    widgets[position].hovered = 1;
    if (WidgetCallback callback = widgets[position].*member) callback(position);
}

} // namespace

bool Gui::hitTest(std::uint8_t visible, float x, float y, float cx, float cy, float halfWidth,
                  float halfHeight) const {
    if (!visible) return false;
    // Menu-local coordinates, rounded to single precision like the stored geometry.
    const float lx = (x - menuCenterX) / menuScaleX;
    const float ly = (y - menuCenterY) / menuScaleY;
    return cx - halfWidth < lx && lx < cx + halfWidth && cy - halfHeight < ly &&
           ly < cy + halfHeight;
}

bool Gui::insideMenuFrame(float x, float y) const {
    return menuCenterX - menuScaleX < x && x < menuCenterX + menuScaleX &&
           menuCenterY - menuScaleY < y && y < menuCenterY + menuScaleY;
}

void Gui::onHover(float x, float y) {
    if (!inMenu) return;
    // Outside the frame nothing changes: the widgets hovered last keep their flag.
    if (!insideMenuFrame(x, y)) return;
    hoverOrClickPass(*this, menuItems, x, y, &MenuItem::onHover);
    hoverOrClickPass(*this, listButtons, x, y, &ListButton::onHover);
    hoverOrClickPass(*this, smallButtons, x, y, &SmallButton::onHover);
}

void Gui::onClick(float x, float y) {
    if (!inMenu) return;
    if (insideMenuFrame(x, y)) {
        hoverOrClickPass(*this, menuItems, x, y, &MenuItem::onClick);
        hoverOrClickPass(*this, listButtons, x, y, &ListButton::onClick);
    }
    // Small buttons are tested wherever the click is; the hit one toggles before its action
    // runs, and stays un-hovered so its highlight starts to fade.
    const int hit = hitInList(*this, smallButtons, x, y);
    if (hit < 0) return;
    const auto position = static_cast<std::uint32_t>(hit);
    SmallButton& button = smallButtons[position];
    button.raised = button.raised ? 0 : 1;
    if (button.onClick) button.onClick(position);
}

// The hover looks: dark red at alpha 0.7, fading back with divisor 20 once the pointer leaves.
void hoverMenuItem(std::uint32_t position) {
    gui.styleMenuItem(0.1f, 0.1f, 20, 0.2f, 0.1f, 0.1f, 0.7f, position);
}

void hoverListButton(std::uint32_t position) {
    gui.styleListButton(0.0f, 0.0f, 20, 0.2f, 0.1f, 0.1f, 0.7f, position);
}

void hoverSmallButton(std::uint32_t position) {
    gui.styleSmallButton(0.05f, 0.0f, 20, 0.2f, 0.1f, 0.1f, 0.7f, position);
}

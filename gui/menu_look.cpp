// The menu's look: each widget's grown quad, colour and caption place, and the status lines.
#include "gui/menu_look.hpp"

#include <algorithm>
#include <string_view>
#include <type_traits>

#include "gui/gui.hpp"

namespace {

// Distance per caption byte pair that a caption starts left of its widget's centre: half of
// the glyph advance (size / 1.5) for every byte, rounded down to whole pairs.
constexpr double kCaptionShiftPerPair = 0.07 * 1.5 * 0.5;

float captionLeft(float x, const char* text) {
    const std::size_t length = text ? std::string_view(text).size() : 0;
    return static_cast<float>(x - static_cast<double>(length / 2) * kCaptionShiftPerPair);
}

template <typename Button> WidgetLook buttonLook(const Button& b, MenuSkin skin) {
    WidgetLook look;
    if (!b.visible) return look;
    look.visible = true;
    look.skin = skin;
    look.quad = grownQuad(b.x, b.y, b.halfWidth, b.halfHeight, b.growX, b.growY);
    look.red = b.red;
    look.green = b.green;
    look.blue = b.blue;
    look.alpha = b.alpha;
    if constexpr (std::is_same_v<Button, SmallButton>) {
        if (b.raised == 0) {
            look.red = b.checkedRed;
            look.green = b.checkedGreen;
            look.blue = b.checkedBlue;
        }
    }
    look.caption = b.caption;
    look.captionLeft = captionLeft(b.x, b.caption);
    look.captionY = b.y;
    return look;
}

// The title and the status line both start at the title's left edge.
WidgetLook panelLook(const Panel& p) {
    WidgetLook look;
    if (!p.visible) return look;
    look.visible = true;
    look.skin = MenuSkin::Panel;
    look.quad = {p.x - p.halfWidth, p.y - p.halfHeight, p.x + p.halfWidth, p.y + p.halfHeight};
    look.red = p.red;
    look.green = p.green;
    look.blue = p.blue;
    look.alpha = p.alpha;
    look.caption = p.title;
    look.captionLeft = captionLeft(p.x, p.title);
    look.captionY = p.y + p.halfHeight - 0.035f;
    return look;
}

StatusLook statusLook(const Panel& p) {
    StatusLook look;
    if (!p.visible) return look;
    look.visible = true;
    look.text = p.status;
    look.left = captionLeft(p.x, p.title);
    look.y = p.y - p.halfHeight * 0.25f;
    look.red = static_cast<float>(p.statusRed);
    look.green = static_cast<float>(p.statusGreen);
    look.blue = static_cast<float>(p.statusBlue);
    look.alpha = static_cast<float>(p.statusAlpha);
    return look;
}

} // namespace

MenuArea grownQuad(float x, float y, float halfWidth, float halfHeight, float growX, float growY) {
    const float growW = growX * halfWidth;
    const float growH = growY * halfHeight;
    return {x - halfWidth - growW, y - halfHeight - growH, x + halfWidth + growW,
            y + halfHeight + growH};
}

void MenuArea::include(const MenuArea& a) {
    left = std::min(left, a.left);
    bottom = std::min(bottom, a.bottom);
    right = std::max(right, a.right);
    top = std::max(top, a.top);
}

MenuLook menuLookOf(const Gui& g) {
    MenuLook look;
    look.centreX = g.menuCenterX;
    look.centreY = g.menuCenterY;
    look.scaleX = g.menuScaleX;
    look.scaleY = g.menuScaleY;
    look.widgets.reserve(g.menuItems.size() + g.smallButtons.size() + g.listButtons.size() +
                         g.panels.size());
    for (const MenuItem& item : g.menuItems)
        look.widgets.push_back(buttonLook(item, MenuSkin::MenuItem));
    for (const SmallButton& button : g.smallButtons)
        look.widgets.push_back(buttonLook(button, MenuSkin::SmallButton));
    for (const ListButton& row : g.listButtons)
        look.widgets.push_back(buttonLook(row, MenuSkin::ListButton));
    for (const Panel& panel : g.panels)
        look.widgets.push_back(panelLook(panel));
    look.statusLines.reserve(g.panels.size());
    for (const Panel& panel : g.panels)
        look.statusLines.push_back(statusLook(panel));
    return look;
}

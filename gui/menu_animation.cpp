// The menu's zoom and fades, stepped once per menu frame.
#include "gui/menu_animation.hpp"

#include <type_traits>

#include "gui/gui.hpp"

namespace {

// Eases one axis of the frame a twentieth of the way to its target; true when it moved.
bool zoomStep(float& current, float target) {
    if (current == target) return false;
    const float before = current;
    current += (target - current) / 20.0f;
    return current != before;
}

// The fade runs only once the pointer has left; 1 - c/n deliberately overshoots towards
// white and settles at n/(n + 1), and n = 1 leaves the creation grey 0.5 unchanged.
template <typename Button> void fade(Button& b) {
    if (b.hovered == 0) {
        const float n = static_cast<float>(b.fadeDivisor);
        b.growY -= b.growY / n;
        b.growX -= b.growX / n;
        b.red = 1.0f - b.red / n;
        b.green = 1.0f - b.green / n;
        b.blue = 1.0f - b.blue / n;
    }
    // After the fade, so a selected row shows its selected colour from the next frame on.
    if constexpr (std::is_same_v<Button, ListButton>) {
        if (b.selected != 0) {
            b.red = b.selectedRed;
            b.green = b.selectedGreen;
            b.blue = b.selectedBlue;
        }
    }
}

// Whether fading still changes the widget: its colours are not yet where the fade settles
// them (those behind a check too, which show when it is cleared), or its highlight's growth
// still shows. Growth that rounds away stays away: the edges only ever shrink towards the
// plain ones, though a single step may leave them where they were.
template <typename Button> bool fadeGoesOn(const Button& b) {
    Button next = b;
    fade(next);
    if (next.red != b.red || next.green != b.green || next.blue != b.blue) return true;
    if (b.hovered != 0) return false;
    return !(grownQuad(b.x, b.y, b.halfWidth, b.halfHeight, b.growX, b.growY) ==
             grownQuad(b.x, b.y, b.halfWidth, b.halfHeight, 0.0f, 0.0f));
}

template <typename Button> bool fadeVisible(std::vector<Button>& widgets) {
    bool goesOn = false;
    for (Button& b : widgets) {
        if (!b.visible) continue;
        goesOn = goesOn || fadeGoesOn(b);
        fade(b);
    }
    return goesOn;
}

} // namespace

MenuStep advanceMenu(Gui& g) {
    const bool movedX = zoomStep(g.menuScaleX, g.menuTargetScaleX);
    const bool movedY = zoomStep(g.menuScaleY, g.menuTargetScaleY);
    MenuStep step;
    step.look = menuLookOf(g);
    step.look.zoomSettled = !movedX && !movedY;
    const bool fading[] = {fadeVisible(g.menuItems), fadeVisible(g.smallButtons),
                           fadeVisible(g.listButtons)};
    step.moving = movedX || movedY || fading[0] || fading[1] || fading[2];
    return step;
}

// The menu kept as a picture: put back whole while only its status lines change, and
// redrawn only round the widgets whose look changed while one fades.
#pragma once

#include <vector>

#include "gui/menu_look.hpp"
#include "render/viewport.hpp"

// A rectangle of window pixels, x and y from the bottom left as glScissor takes them.
struct PixelBox {
    int left = 0, bottom = 0, right = 0, top = 0;
    bool empty() const { return right <= left || top <= bottom; }
};

// A menu frame as drawn: its look, and for each of its widgets the pixels it may paint
// (empty for a hidden widget).
struct DrawnMenu {
    const MenuLook& look;
    const std::vector<PixelBox>& boxes;
};

// What is left to draw after the kept picture went back on the screen.
struct MenuRepair {
    bool whole = true; // nothing was put back: draw the whole menu
    PixelBox box;      // otherwise: draw the menu again here (nothing when empty)
};

// Puts the kept picture back when it was taken of the menu frame in the same place and zoom,
// with as many widgets, in the same viewport, and says where the widgets whose look changed
// since must be drawn again. The picture fills the viewport at the depth of the menu's widgets,
// so text drawn over it meets the depth it would have met.
MenuRepair putBackMenuPicture(const DrawnMenu& now, const Viewport& viewport);

// Keeps what the viewport shows as the picture of the menu `drawn`; after a repair only its
// box is copied.
void keepMenuPicture(const DrawnMenu& drawn, const MenuRepair& repair, const Viewport& viewport);

// Forgets the picture (the textures were made anew, perhaps in another context).
void forgetMenuPicture();

// The menu kept as a picture: put back whole while only its status lines change, and
// redrawn only round the widgets that changed while one fades.
#pragma once

#include <cstdint>
#include <vector>

// A rectangle of window pixels, x and y from the bottom left as glScissor takes them.
struct PixelBox {
    int left = 0, bottom = 0, right = 0, top = 0;
    bool empty() const { return right <= left || top <= bottom; }
};

// The menu as drawn in one frame: the fingerprint of what moves every widget at once, and
// each widget's fingerprint with the pixels it may paint (empty for a hidden widget).
struct MenuPrints {
    std::uint64_t frame = 0;
    struct Widget {
        std::uint64_t print;
        PixelBox box;
    };
    std::vector<Widget> widgets;
};

// What is left to draw after the kept picture went back on the screen.
struct MenuRepair {
    bool whole = true; // nothing was put back: draw the whole menu
    PixelBox box;      // otherwise: draw the menu again here (nothing when empty)
};

// Puts the kept picture back when it was taken of a menu with the same frame fingerprint in
// a viewport of the current size, and says where the widgets that changed since must be
// drawn again. The picture fills the viewport at the depth of the menu's widgets, so text
// drawn over it meets the depth it would have met.
MenuRepair putBackMenuPicture(const MenuPrints& now);

// Keeps what the viewport shows as the picture of the menu `drawn`; after a repair only its
// box is copied.
void keepMenuPicture(const MenuPrints& drawn, const MenuRepair& repair);

// Forgets the picture (the textures were made anew, perhaps in another context).
void forgetMenuPicture();

// Where the 800 x 600 picture stands in a window of any size: the largest centred 4:3 area.
#pragma once

#include "render/viewport.hpp"

// A rectangle in window pixels, measured from the window's top-left corner.
struct PictureArea {
    int x = 0, y = 0;
    int width = 800, height = 600;
};

// The largest 4:3 rectangle that fits the window, centred; the margins stay plain black.
// An 800 x 600 window gives the whole window. Sizes below 1 count as 1.
PictureArea pictureAreaFor(int windowWidth, int windowHeight);

// The area as OpenGL's viewport (its rows counted from the bottom), scissored when margins
// lie beside it.
Viewport viewportFor(const PictureArea& area, int windowWidth, int windowHeight);

// Sets the viewport and the scissor to the area, so nothing drawn, pixel-sized bitmap text
// included, reaches the margins.
void applyPictureArea(const PictureArea& area, int windowWidth, int windowHeight);

// Clears the margins around the area to black; nothing when the area fills the window. Leaves
// the clear colour and the scissor rectangle as they were. Main thread, context current.
void clearPictureMargins(const PictureArea& area, int windowWidth, int windowHeight);

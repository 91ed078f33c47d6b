// Where a frame is drawn: the picture's place in the window, handed to the drawing so it never
// reads it back from OpenGL.
#pragma once

// The viewport in OpenGL window pixels (x and y from the bottom left). When `scissored`, the
// scissor test is on with the viewport as its box (black margins lie beside the picture);
// otherwise it is off.
struct Viewport {
    int x = 0, y = 0;
    int width = 800, height = 600;
    bool scissored = false;
    bool operator==(const Viewport&) const = default;
};

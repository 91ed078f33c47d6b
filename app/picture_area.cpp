// The 4:3 picture area of the window, its viewport and its black margins.
#include "app/picture_area.hpp"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>

PictureArea pictureAreaFor(int windowWidth, int windowHeight) {
    const std::int64_t w = std::max(windowWidth, 1);
    const std::int64_t h = std::max(windowHeight, 1);
    PictureArea area;
    // Rounded to the nearest pixel, never wider or taller than the window.
    if (w * 3 >= h * 4) {
        area.height = static_cast<int>(h);
        area.width = static_cast<int>(std::min<std::int64_t>(w, (h * 4 + 1) / 3));
    } else {
        area.width = static_cast<int>(w);
        area.height = static_cast<int>(std::min<std::int64_t>(h, (w * 3 + 2) / 4));
    }
    area.x = static_cast<int>((w - area.width) / 2);
    area.y = static_cast<int>((h - area.height) / 2);
    return area;
}

namespace {
bool fillsWindow(const PictureArea& area, int windowWidth, int windowHeight) {
    return area.x == 0 && area.y == 0 && area.width == windowWidth && area.height == windowHeight;
}
} // namespace

Viewport viewportFor(const PictureArea& area, int windowWidth, int windowHeight) {
    Viewport v;
    v.x = area.x;
    v.y = std::max(windowHeight, 1) - area.y - area.height;
    v.width = area.width;
    v.height = area.height;
    v.scissored = !fillsWindow(area, windowWidth, windowHeight);
    return v;
}

void applyPictureArea(const PictureArea& area, int windowWidth, int windowHeight) {
    const Viewport v = viewportFor(area, windowWidth, windowHeight);
    glViewport(v.x, v.y, v.width, v.height);
    glScissor(v.x, v.y, v.width, v.height);
    if (v.scissored)
        glEnable(GL_SCISSOR_TEST);
    else
        glDisable(GL_SCISSOR_TEST);
}

void clearPictureMargins(const PictureArea& area, int windowWidth, int windowHeight) {
    if (fillsWindow(area, windowWidth, windowHeight)) return;
    GLfloat previous[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, previous);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(previous[0], previous[1], previous[2], previous[3]);
    glEnable(GL_SCISSOR_TEST);
}

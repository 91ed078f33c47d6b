// The kept menu picture: a copy of the back buffer, put back pixel for pixel.
#include "render/menu_picture.hpp"

#include <GL/gl.h>

#include <algorithm>

namespace {

GLuint texture = 0;
bool kept = false;
MenuPrints keptPrints;
GLint keptViewport[4] = {0, 0, 0, 0};

// Past this share of the viewport a repair costs about as much as drawing the whole menu.
constexpr double kLargestRepair = 0.6;

bool sameViewport() {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    return std::equal(viewport, viewport + 4, keptViewport);
}

void include(PixelBox& into, const PixelBox& box) {
    if (box.empty()) return;
    if (into.empty()) {
        into = box;
        return;
    }
    into.left = std::min(into.left, box.left);
    into.bottom = std::min(into.bottom, box.bottom);
    into.right = std::max(into.right, box.right);
    into.top = std::max(into.top, box.top);
}

// The pixels where the picture of `now` differs from the kept one: where a changed widget
// was or is now, within the viewport.
PixelBox changedPixels(const MenuPrints& now) {
    PixelBox changed;
    for (std::size_t i = 0; i < now.widgets.size(); ++i) {
        if (now.widgets[i].print == keptPrints.widgets[i].print) continue;
        include(changed, now.widgets[i].box);
        include(changed, keptPrints.widgets[i].box);
    }
    if (changed.empty()) return changed;
    changed.left = std::max(changed.left, keptViewport[0]);
    changed.bottom = std::max(changed.bottom, keptViewport[1]);
    changed.right = std::min(changed.right, keptViewport[0] + keptViewport[2]);
    changed.top = std::min(changed.top, keptViewport[1] + keptViewport[3]);
    return changed;
}

void drawPicture() {
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    // White modulation and nearest sampling at the pixel centres give back every pixel as it was.
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    constexpr float z = -0.001f; // the widgets' depth
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, z);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.0f, 1.0f, z);
    glEnd();
}

} // namespace

MenuRepair putBackMenuPicture(const MenuPrints& now) {
    MenuRepair repair;
    if (!kept || keptPrints.frame != now.frame || keptPrints.widgets.size() != now.widgets.size() ||
        !sameViewport())
        return repair;
    const PixelBox changed = changedPixels(now);
    const double area = changed.empty() ? 0.0
                                        : double(changed.right - changed.left) *
                                              double(changed.top - changed.bottom);
    if (area > kLargestRepair * keptViewport[2] * keptViewport[3]) return repair;
    drawPicture();
    repair.whole = false;
    repair.box = changed;
    return repair;
}

void keepMenuPicture(const MenuPrints& drawn, const MenuRepair& repair) {
    if (repair.whole) {
        if (texture == 0 || !glIsTexture(texture)) glGenTextures(1, &texture);
        glGetIntegerv(GL_VIEWPORT, keptViewport);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, keptViewport[0], keptViewport[1],
                         keptViewport[2], keptViewport[3], 0);
    } else if (!repair.box.empty()) {
        const PixelBox& b = repair.box;
        glBindTexture(GL_TEXTURE_2D, texture);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, b.left - keptViewport[0], b.bottom - keptViewport[1],
                            b.left, b.bottom, b.right - b.left, b.top - b.bottom);
    }
    kept = glGetError() == GL_NO_ERROR;
    keptPrints = drawn;
}

void forgetMenuPicture() {
    kept = false;
    // In the context it was made in the texture is let go; in a new one the name is unknown
    // and there is nothing to let go.
    if (texture != 0 && glIsTexture(texture)) glDeleteTextures(1, &texture);
    texture = 0;
}

// The kept menu picture: a copy of the back buffer, put back pixel for pixel.
#include "render/menu_picture.hpp"

#include <GL/gl.h>

#include <algorithm>

namespace {

GLuint texture = 0;
bool kept = false;
MenuLook keptLook;
std::vector<PixelBox> keptBoxes;
Viewport keptViewport;

// Past this share of the viewport a repair costs about as much as drawing the whole menu.
constexpr double kLargestRepair = 0.6;

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

// The same frame: the kept picture shows every widget where `look` would draw it unless the
// widget's own look changed.
bool sameFrame(const MenuLook& look) {
    return look.centreX == keptLook.centreX && look.centreY == keptLook.centreY &&
           look.scaleX == keptLook.scaleX && look.scaleY == keptLook.scaleY &&
           look.widgets.size() == keptLook.widgets.size();
}

// The pixels where the picture of `now` differs from the kept one: where a changed widget
// was or is now, within the viewport.
PixelBox changedPixels(const DrawnMenu& now) {
    PixelBox changed;
    for (std::size_t i = 0; i < now.look.widgets.size(); ++i) {
        if (now.look.widgets[i] == keptLook.widgets[i]) continue;
        include(changed, now.boxes[i]);
        include(changed, keptBoxes[i]);
    }
    if (changed.empty()) return changed;
    const Viewport& v = keptViewport;
    changed.left = std::max(changed.left, v.x);
    changed.bottom = std::max(changed.bottom, v.y);
    changed.right = std::min(changed.right, v.x + v.width);
    changed.top = std::min(changed.top, v.y + v.height);
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

MenuRepair putBackMenuPicture(const DrawnMenu& now, const Viewport& viewport) {
    MenuRepair repair;
    if (!kept || !sameFrame(now.look) || !(viewport == keptViewport)) return repair;
    const PixelBox changed = changedPixels(now);
    const double area = changed.empty() ? 0.0
                                        : double(changed.right - changed.left) *
                                              double(changed.top - changed.bottom);
    if (area > kLargestRepair * keptViewport.width * keptViewport.height) return repair;
    drawPicture();
    repair.whole = false;
    repair.box = changed;
    return repair;
}

void keepMenuPicture(const DrawnMenu& drawn, const MenuRepair& repair, const Viewport& viewport) {
    if (repair.whole) {
        if (texture == 0 || !glIsTexture(texture)) glGenTextures(1, &texture);
        keptViewport = viewport;
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, viewport.x, viewport.y, viewport.width,
                         viewport.height, 0);
    } else if (!repair.box.empty()) {
        const PixelBox& b = repair.box;
        glBindTexture(GL_TEXTURE_2D, texture);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, b.left - keptViewport.x, b.bottom - keptViewport.y,
                            b.left, b.bottom, b.right - b.left, b.top - b.bottom);
    }
    kept = glGetError() == GL_NO_ERROR;
    keptLook = drawn.look;
    keptBoxes = drawn.boxes;
}

void forgetMenuPicture() {
    kept = false;
    // In the context it was made in the texture is let go; in a new one the name is unknown
    // and there is nothing to let go.
    if (texture != 0 && glIsTexture(texture)) glDeleteTextures(1, &texture);
    texture = 0;
}

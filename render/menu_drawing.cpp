// The menu screen: the zoomed skinned frame and its widgets, drawn as the frame's look has them.
#include <GL/gl.h>

#include <cmath>
#include <string_view>
#include <vector>

#include "gui/gui.hpp"
#include "render/menu_picture.hpp"
#include "render/visible_texels.hpp"

namespace {

// A rectangle of the menu skin, in texture coordinates (t upwards from the image's bottom).
struct SkinRegion {
    float sFrom, sTo, tFrom, tTo;
};

constexpr SkinRegion kBackdropSkin{0.0f, 1.0f, 0.26f, 1.0f};
constexpr SkinRegion kMenuItemSkin{0.0f, 0.5f, 0.0015f, 0.114f};
constexpr SkinRegion kSmallButtonSkin{0.5f, 1.0f, 0.005f, 0.114f};
constexpr SkinRegion kListButtonSkin{0.01f, 0.48f, 0.125f, 0.25f};
constexpr SkinRegion kPanelSkin{0.5f, 1.0f, 0.125f, 0.25f};

const SkinRegion& regionOf(MenuSkin skin) {
    switch (skin) {
    case MenuSkin::MenuItem: return kMenuItemSkin;
    case MenuSkin::SmallButton: return kSmallButtonSkin;
    case MenuSkin::ListButton: return kListButtonSkin;
    default: return kPanelSkin;
    }
}

// Widget quads lie just in front of the backdrop (z 0) and behind the captions (z -0.005).
constexpr float kWidgetDepth = -0.001f;

std::string_view textOf(const char* text) { return text ? std::string_view(text) : ""; }

// The glyph boxes of a caption drawn from `left` at height `y`: squares of the caption size,
// one every two thirds of it.
MenuArea captionArea(float left, float y, std::string_view text) {
    const float h = kMenuCaptionSize;
    const float width = text.empty() ? 0.0f : h + static_cast<float>(text.size() - 1) * h / 1.5f;
    return {left, y - h / 1.5f, left + width, y + h / 1.5f};
}

// A quad of the menu skin, filled only where the skin has pixels that pass the alpha test.
void drawQuad(const Gui& g, const MenuArea& a, float z, const SkinRegion& s) {
    const TexturedCorner corners[4] = {{s.sFrom, s.tFrom, a.left, a.bottom},
                                       {s.sTo, s.tFrom, a.right, a.bottom},
                                       {s.sTo, s.tTo, a.right, a.top},
                                       {s.sFrom, s.tTo, a.left, a.top}};
    drawVisibleQuad(g.menuTexture, corners, z, TexelCut::AlphaTest);
}

void drawWidget(const Gui& g, const WidgetLook& w) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(g.menuTexture));
    glColor4f(w.red, w.green, w.blue, w.alpha);
    drawQuad(g, w.quad, kWidgetDepth, regionOf(w.skin));
    if (w.skin == MenuSkin::Panel) glColor4f(0.0f, 0.0f, 0.0f, 1.0f); // titles are black
    g.drawText(w.captionLeft, w.captionY, kMenuCaptionSize, textOf(w.caption));
}

// Drawn after every panel: no panel reaches another's status line, so the picture is the one
// drawn panel by panel, and the menu under the status lines can be kept while they flash.
void drawStatusLine(const Gui& g, const StatusLook& s) {
    glColor4f(s.red, s.green, s.blue, s.alpha);
    g.drawText(s.left, s.y, kMenuCaptionSize, s.text);
}

// The window pixels each widget may paint in the frame's zoom, two more on every side for
// filtering and rounding; nothing for a hidden widget.
std::vector<PixelBox> paintedPixels(const MenuLook& look, const Viewport& viewport) {
    const auto pixelX = [&](float x) {
        return viewport.x + (look.centreX + look.scaleX * x + 1.0) * 0.5 * viewport.width;
    };
    const auto pixelY = [&](float y) {
        return viewport.y + (look.centreY + look.scaleY * y + 1.0) * 0.5 * viewport.height;
    };
    std::vector<PixelBox> boxes;
    boxes.reserve(look.widgets.size());
    for (const WidgetLook& w : look.widgets) {
        if (!w.visible) {
            boxes.emplace_back();
            continue;
        }
        MenuArea a = w.quad;
        a.include(captionArea(w.captionLeft, w.captionY, textOf(w.caption)));
        boxes.push_back({static_cast<int>(std::floor(pixelX(a.left))) - 2,
                         static_cast<int>(std::floor(pixelY(a.bottom))) - 2,
                         static_cast<int>(std::ceil(pixelX(a.right))) + 2,
                         static_cast<int>(std::ceil(pixelY(a.top))) + 2});
    }
    return boxes;
}

// Confines drawing to a box of the viewport, cleared as the frame began, for as long as it
// lives, then gives the viewport its own scissor back; with no box (the whole menu) it
// changes nothing.
class RepairScissor {
public:
    RepairScissor(const MenuRepair& repair, const Viewport& viewport)
        : active_(!repair.whole), viewport_(viewport) {
        if (!active_) return;
        const PixelBox& b = repair.box;
        glEnable(GL_SCISSOR_TEST);
        glScissor(b.left, b.bottom, b.right - b.left, b.top - b.bottom);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    ~RepairScissor() {
        if (!active_) return;
        glScissor(viewport_.x, viewport_.y, viewport_.width, viewport_.height);
        if (!viewport_.scissored) glDisable(GL_SCISSOR_TEST);
    }
    RepairScissor(const RepairScissor&) = delete;
    RepairScissor& operator=(const RepairScissor&) = delete;

private:
    bool active_;
    Viewport viewport_;
};

} // namespace

void Gui::drawMenu(const MenuLook& look, const Viewport& viewport) const {
    // A menu that stood still in the last frame is put back as that frame's picture, and
    // drawn again only round the widgets whose look changed since; the status lines are
    // always drawn anew.
    const std::vector<PixelBox> boxes = paintedPixels(look, viewport);
    const DrawnMenu drawn{look, boxes};
    const MenuRepair repair = putBackMenuPicture(drawn, viewport);

    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.1f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);

    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(menuTexture));
    glColor4f(1.0f, 1.0f, 1.0f, 0.99f);
    glTranslatef(look.centreX, look.centreY, 0.0f);
    glScalef(look.scaleX, look.scaleY, 1.0f);

    if (repair.whole || !repair.box.empty()) {
        {
            const RepairScissor scissor(repair, viewport);
            // From here on everything, captions included, is in menu-local units.
            glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(menuTexture));
            drawQuad(*this, {-1.0f, -1.0f, 1.0f, 1.0f}, 0.0f, kBackdropSkin);

            // Equal depths and the "less" test keep whatever was drawn first where widgets
            // overlap, so the buttons drawn before the panels stay on top of the panel frames.
            for (const WidgetLook& w : look.widgets)
                if (w.visible) drawWidget(*this, w);
        }
        // Once the zoom has settled, what was drawn is the picture the next frames start from.
        if (look.zoomSettled) keepMenuPicture(drawn, repair, viewport);
    }
    for (const StatusLook& s : look.statusLines)
        if (s.visible) drawStatusLine(*this, s);

    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glPopMatrix();
}

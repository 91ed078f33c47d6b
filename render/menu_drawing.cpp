// The menu screen: the zooming skinned frame and its widgets, with their per-frame fading.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "gui/gui.hpp"
#include "platform/ticks.hpp"
#include "render/frame_fingerprint.hpp"
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

// Widget quads lie just in front of the backdrop (z 0) and behind the captions (z -0.005).
constexpr float kWidgetDepth = -0.001f;

constexpr float kCaptionSize = 0.07f;
// Distance per caption byte pair that a caption starts left of its widget's centre: half of
// the glyph advance (size / 1.5) for every byte, rounded down to whole pairs.
constexpr double kCaptionShiftPerPair = 0.07 * 1.5 * 0.5;

std::string_view textOf(const char* text) { return text ? std::string_view(text) : ""; }

float captionLeft(float x, std::string_view text) {
    return static_cast<float>(x - static_cast<double>(text.size() / 2) * kCaptionShiftPerPair);
}

// A rectangle in menu-local units.
struct MenuArea {
    float left, bottom, right, top;
    void include(const MenuArea& a) {
        left = std::min(left, a.left);
        bottom = std::min(bottom, a.bottom);
        right = std::max(right, a.right);
        top = std::max(top, a.top);
    }
};

// The glyph boxes of a caption drawn from `left` at height `y`: squares of the caption size,
// one every two thirds of it.
MenuArea captionArea(float left, float y, std::string_view text) {
    const float h = kCaptionSize;
    const float width = text.empty() ? 0.0f : h + static_cast<float>(text.size() - 1) * h / 1.5f;
    return {left, y - h / 1.5f, left + width, y + h / 1.5f};
}

// The quad of a widget's skin, grown by its highlight.
template <typename Button> MenuArea skinArea(const Button& b) {
    const float growW = b.growX * b.halfWidth;
    const float growH = b.growY * b.halfHeight;
    return {b.x - b.halfWidth - growW, b.y - b.halfHeight - growH, b.x + b.halfWidth + growW,
            b.y + b.halfHeight + growH};
}

MenuArea skinArea(const Panel& p) {
    return {p.x - p.halfWidth, p.y - p.halfHeight, p.x + p.halfWidth, p.y + p.halfHeight};
}

float panelTitleY(const Panel& p) { return p.y + p.halfHeight - 0.035f; }

// A quad of the menu skin, filled only where the skin has pixels.
void drawQuad(const Gui& g, const MenuArea& a, float z, const SkinRegion& s) {
    const TexturedCorner corners[4] = {{s.sFrom, s.tFrom, a.left, a.bottom},
                                       {s.sTo, s.tFrom, a.right, a.bottom},
                                       {s.sTo, s.tTo, a.right, a.top},
                                       {s.sFrom, s.tTo, a.left, a.top}};
    drawVisibleQuad(g.menuTexture, corners, z);
}

// Eases one axis of the frame a twentieth of the way to its target.
void zoomStep(float& current, float target) {
    if (current != target) current += (target - current) / 20.0f;
}

template <typename Button> void drawButton(Gui& g, Button& b, const SkinRegion& skin) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(g.menuTexture));
    if constexpr (std::is_same_v<Button, SmallButton>) {
        if (b.raised == 0)
            glColor4f(b.checkedRed, b.checkedGreen, b.checkedBlue, b.alpha);
        else
            glColor4f(b.red, b.green, b.blue, b.alpha);
    } else {
        glColor4f(b.red, b.green, b.blue, b.alpha);
    }

    drawQuad(g, skinArea(b), kWidgetDepth, skin);

    const std::string_view caption = textOf(b.caption);
    g.drawText(captionLeft(b.x, caption), b.y, kCaptionSize, caption);

    // The fade runs only once the pointer has left; 1 - c/n deliberately overshoots towards
    // white and settles at n/(n + 1), and n = 1 leaves the creation grey 0.5 unchanged.
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

// The status line starts at the title's left edge, so both use the title's length.
float panelTextLeft(const Panel& p) { return captionLeft(p.x, textOf(p.title)); }

void drawPanel(Gui& g, const Panel& p) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(g.menuTexture));
    glColor4f(p.red, p.green, p.blue, p.alpha);
    drawQuad(g, skinArea(p), kWidgetDepth, kPanelSkin);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    g.drawText(panelTextLeft(p), panelTitleY(p), kCaptionSize, textOf(p.title));
}

// Drawn after every panel: no panel reaches another's status line, so the picture is the one
// drawn panel by panel, and the menu under the status lines can be kept while they flash.
void drawStatusLine(Gui& g, const Panel& p) {
    glColor4f(static_cast<float>(p.statusRed), static_cast<float>(p.statusGreen),
              static_cast<float>(p.statusBlue), static_cast<float>(p.statusAlpha));
    g.drawText(panelTextLeft(p), p.y - p.halfHeight * 0.25f, kCaptionSize, p.status);
}

template <typename Button> MenuArea paintedArea(const Button& b) {
    MenuArea area = skinArea(b);
    const std::string_view caption = textOf(b.caption);
    area.include(captionArea(captionLeft(b.x, caption), b.y, caption));
    return area;
}

MenuArea paintedArea(const Panel& p) {
    MenuArea area = skinArea(p);
    area.include(captionArea(panelTextLeft(p), panelTitleY(p), textOf(p.title)));
    return area;
}

// The window pixels an area covers in the menu's zoom, two more on every side for filtering
// and rounding; nothing for a hidden widget.
template <typename Widget>
MenuPrints::Widget printOf(const Gui& g, const GLint (&viewport)[4], const Widget& w) {
    MenuPrints::Widget print{widgetFingerprint(w), {}};
    if (!w.visible) return print;
    const MenuArea a = paintedArea(w);
    const auto pixelX = [&](float x) {
        return viewport[0] + (g.menuCenterX + g.menuScaleX * x + 1.0) * 0.5 * viewport[2];
    };
    const auto pixelY = [&](float y) {
        return viewport[1] + (g.menuCenterY + g.menuScaleY * y + 1.0) * 0.5 * viewport[3];
    };
    print.box = {static_cast<int>(std::floor(pixelX(a.left))) - 2,
                 static_cast<int>(std::floor(pixelY(a.bottom))) - 2,
                 static_cast<int>(std::ceil(pixelX(a.right))) + 2,
                 static_cast<int>(std::ceil(pixelY(a.top))) + 2};
    return print;
}

MenuPrints menuPrints(const Gui& g) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    MenuPrints prints;
    prints.frame = menuFrameFingerprint(g);
    prints.widgets.reserve(g.menuItems.size() + g.smallButtons.size() + g.listButtons.size() +
                           g.panels.size());
    for (const MenuItem& item : g.menuItems) prints.widgets.push_back(printOf(g, viewport, item));
    for (const SmallButton& b : g.smallButtons) prints.widgets.push_back(printOf(g, viewport, b));
    for (const ListButton& row : g.listButtons) prints.widgets.push_back(printOf(g, viewport, row));
    for (const Panel& p : g.panels) prints.widgets.push_back(printOf(g, viewport, p));
    return prints;
}

// Confines drawing to a box of the viewport, cleared as the frame began, for as long as it
// lives; with no box (the whole menu) it changes nothing.
class RepairScissor {
public:
    explicit RepairScissor(const MenuRepair& repair) : active_(!repair.whole) {
        if (!active_) return;
        wasEnabled_ = glIsEnabled(GL_SCISSOR_TEST);
        glGetIntegerv(GL_SCISSOR_BOX, previous_);
        const PixelBox& b = repair.box;
        glEnable(GL_SCISSOR_TEST);
        glScissor(b.left, b.bottom, b.right - b.left, b.top - b.bottom);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    ~RepairScissor() {
        if (!active_) return;
        glScissor(previous_[0], previous_[1], previous_[2], previous_[3]);
        if (!wasEnabled_) glDisable(GL_SCISSOR_TEST);
    }
    RepairScissor(const RepairScissor&) = delete;
    RepairScissor& operator=(const RepairScissor&) = delete;

private:
    bool active_;
    bool wasEnabled_ = false;
    GLint previous_[4] = {0, 0, 0, 0};
};

} // namespace

void Gui::drawMenu() {
    if (!inMenu) {
        // A session has no use for the kept picture: its 2 MB go back while the session runs.
        forgetMenuPicture();
        return;
    }

    // A menu that stood still in the last frame is put back as that frame's picture, and
    // drawn again only round the widgets that changed since; the status lines are always
    // drawn anew.
    const MenuPrints now = menuPrints(*this);
    const MenuRepair repair = putBackMenuPicture(now);

    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.1f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);

    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(menuTexture));
    glColor4f(1.0f, 1.0f, 1.0f, 0.99f);
    glTranslatef(menuCenterX, menuCenterY, 0.0f);
    zoomStep(menuScaleX, menuTargetScaleX);
    zoomStep(menuScaleY, menuTargetScaleY);
    glScalef(menuScaleX, menuScaleY, 1.0f);

    if (repair.whole || !repair.box.empty()) {
        {
            const RepairScissor scissor(repair);
            // From here on everything, captions included, is in menu-local units.
            glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(menuTexture));
            drawQuad(*this, {-1.0f, -1.0f, 1.0f, 1.0f}, 0.0f, kBackdropSkin);

            // Equal depths and the "less" test keep whatever was drawn first where widgets
            // overlap, so the buttons drawn before the panels stay on top of the panel frames.
            for (MenuItem& item : menuItems)
                if (item.visible) drawButton(*this, item, kMenuItemSkin);
            for (SmallButton& button : smallButtons)
                if (button.visible) drawButton(*this, button, kSmallButtonSkin);
            for (ListButton& row : listButtons)
                if (row.visible) drawButton(*this, row, kListButtonSkin);
            for (const Panel& panel : panels)
                if (panel.visible) drawPanel(*this, panel);
        }
        // Once the zoom has settled, what was drawn is the picture the next frames start from.
        if (menuFrameFingerprint(*this) == now.frame) keepMenuPicture(now, repair);
    }
    for (const Panel& panel : panels)
        if (panel.visible) drawStatusLine(*this, panel);

    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glPopMatrix();

    // While the menu is shown the beat clock follows the time, so the first beat of a session
    // is not measured against a beat from before the menu was opened.
    session.lastBeatTick = tickMs();
}

// The menu screen: the zooming skinned frame and its widgets, with their per-frame fading.
#include <GL/gl.h>

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

// A quad of the menu skin, filled only where the skin has pixels.
void drawQuad(const Gui& g, float left, float bottom, float right, float top, float z,
              const SkinRegion& s) {
    const TexturedCorner corners[4] = {{s.sFrom, s.tFrom, left, bottom},
                                       {s.sTo, s.tFrom, right, bottom},
                                       {s.sTo, s.tTo, right, top},
                                       {s.sFrom, s.tTo, left, top}};
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

    const float growW = b.growX * b.halfWidth;
    const float growH = b.growY * b.halfHeight;
    drawQuad(g, b.x - b.halfWidth - growW, b.y - b.halfHeight - growH, b.x + b.halfWidth + growW,
             b.y + b.halfHeight + growH, kWidgetDepth, skin);

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
    drawQuad(g, p.x - p.halfWidth, p.y - p.halfHeight, p.x + p.halfWidth, p.y + p.halfHeight,
             kWidgetDepth, kPanelSkin);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    g.drawText(panelTextLeft(p), p.y + p.halfHeight - 0.035f, kCaptionSize, textOf(p.title));
}

// Drawn after every panel: no panel reaches another's status line, so the picture is the one
// drawn panel by panel, and the menu under the status lines can be kept while they flash.
void drawStatusLine(Gui& g, const Panel& p) {
    glColor4f(static_cast<float>(p.statusRed), static_cast<float>(p.statusGreen),
              static_cast<float>(p.statusBlue), static_cast<float>(p.statusAlpha));
    g.drawText(panelTextLeft(p), p.y - p.halfHeight * 0.25f, kCaptionSize, p.status);
}

} // namespace

void Gui::drawMenu() {
    if (!inMenu) return;

    // A menu that stood still in the last frame is put back as that frame's picture; only
    // the status lines are drawn anew.
    const std::uint64_t before = menuFingerprint(*this);
    const bool kept = drawKeptMenuPicture(before);

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

    if (!kept) {
        // From here on everything, captions included, is in menu-local units.
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(menuTexture));
        drawQuad(*this, -1.0f, -1.0f, 1.0f, 1.0f, 0.0f, kBackdropSkin);

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
        // Drawing it changed nothing (no zoom, no fade left): the next frame can put it back.
        if (menuFingerprint(*this) == before) keepMenuPicture(before);
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

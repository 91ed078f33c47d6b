// The training screen's frame: phase word, phase bars, beat squares, pacer, cycle dials.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "gui/gui.hpp"
#include "platform/cp1251.hpp"
#include "render/hide_toggles.hpp"
#include "render/phase_tint.hpp"
#include "render/polygon_fill.hpp"
#include "render/viewport.hpp"
#include "render/visible_texels.hpp"

namespace {

constexpr float kTwoPi = 6.2831854820251465f; // 2*pi as the single-precision value
constexpr float kPacerY = 0.2f;               // centre of pacer and dials
// Round shapes: one x unit is 400 pixels, one y unit 300.
constexpr float kRound = 0.75f;

void drawPhaseWord(const Gui& g, std::int32_t phase) {
    setPhaseTint(phase, 0.9f);
    switch (phase) {
    case 0:
        g.drawText(-0.25f, 0.6f, 0.15f, "Вдох"_cp1251v);
        break;
    case 2:
        g.drawText(-0.3f, 0.6f, 0.15f, "Выдох"_cp1251v);
        break;
    case 1:
    case 3:
        g.drawText(-0.3f, 0.6f, 0.15f, "Пауза"_cp1251v);
        break;
    default:
        break;
    }
}

// The caption, centred in the band of the top bar: the test's formulas have no hold-in, so that
// bar has faded and its beat squares are not drawn. Dark green, like the frame, over the light
// background.
void drawCaption(const Gui& g) {
    if (g.trainingCaption.empty()) return;
    constexpr float kSize = 0.055f;
    const float width = kSize + static_cast<float>(g.trainingCaption.size() - 1) * kSize / 1.5f;
    glColor4f(0.05f, 0.3f, 0.15f, 1.0f);
    g.drawText(-width / 2.0f, 0.9f, kSize, g.trainingCaption);
}

// The other bars are drawn full; the current one ends where its fill stands.
void drawPhaseBars(const Gui& g) {
    const TrainingSession& s = g.session;
    const TrainingScreenState& state = g.trainingScreen;
    constexpr float z = -0.001f;
    for (std::int32_t k = 0; k < 4; ++k) {
        const float glow = state.phaseGlow[static_cast<std::size_t>(k)];
        float end = k < 2 ? 0.9f : -0.9f;
        switch (k) {
        case 0:
            glColor4f(1.0f, 0.0f, 0.0f, glow);
            break;
        case 2:
            glColor4f(0.0f, 0.0f, 1.0f, glow);
            break;
        default:
            glColor4f(0.0f, 1.0f, 0.0f, glow);
            break;
        }
        if (k == s.phase) {
            glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(g.barTexture));
            end = state.barFill;
        }
        // A bar whose glow is spent is cut whole by the alpha test (alpha 0.1 or less).
        if (glow <= 0.1f) continue;
        TexturedCorner bar[4];
        switch (k) {
        case 0: // left, grows upwards
            bar[0] = {0.0f, 0.0f, -0.99f, -0.9f};
            bar[1] = {0.24f, 0.0f, -0.85f, -0.9f};
            bar[2] = {0.24f, 1.0f, -0.85f, end};
            bar[3] = {0.0f, 1.0f, -0.99f, end};
            break;
        case 1: // top, grows to the right
            bar[0] = {0.0f, 0.0f, -0.9f, 0.99f};
            bar[1] = {0.24f, 0.0f, -0.9f, 0.815f};
            bar[2] = {0.24f, 1.0f, end, 0.815f};
            bar[3] = {0.0f, 1.0f, end, 0.99f};
            break;
        case 2: // right, grows downwards
            bar[0] = {0.0f, 0.0f, 0.99f, 0.9f};
            bar[1] = {0.24f, 0.0f, 0.85f, 0.9f};
            bar[2] = {0.24f, 0.6f, 0.85f, end};
            bar[3] = {0.0f, 0.6f, 0.99f, end};
            break;
        default: // bottom, grows to the left
            bar[0] = {0.0f, 0.0f, 0.9f, -0.99f};
            bar[1] = {0.24f, 0.0f, 0.9f, -0.815f};
            bar[2] = {0.24f, 1.0f, end, -0.815f};
            bar[3] = {0.0f, 1.0f, end, -0.99f};
            break;
        }
        drawVisibleQuad(g.barTexture, bar, z, TexelCut::AlphaTest);
    }
}

// One square per beat of each phase, spread over -0.5..0.5 in the bars' clockwise
// direction; the beats already passed in the current phase are lit.
void drawBeatSquares(const TrainingSession& s, std::int32_t barTexture) {
    constexpr float z = -0.015f;
    VisibleQuads squares(barTexture, TexelCut::AlphaTest); // the colour changes between quads
    constexpr float h = 0.04f; // half a side
    for (std::int32_t k = 0; k < 4; ++k) {
        const std::int32_t n = s.phaseBeats[static_cast<std::size_t>(k)];
        if (n <= 0) continue;
        // A single square sits at the start of its row rather than in the middle.
        const float step = n > 1 ? 1.0f / static_cast<float>(n - 1) : 0.5f;
        for (std::int32_t i = 0; i < n; ++i) {
            const float alpha = (k == s.phase && i < s.beatInPhase) ? 1.0f : 0.4f;
            switch (k) {
            case 0:
                glColor4f(1.0f, 0.0f, 0.0f, alpha);
                break;
            case 2:
                glColor4f(0.0f, 0.0f, 1.0f, alpha);
                break;
            default:
                glColor4f(0.0f, 1.0f, 0.0f, alpha);
                break;
            }
            const float offset = static_cast<float>(i) * step;
            const float u = k < 2 ? offset - 0.5f : 0.5f - offset;
            TexturedCorner square[4];
            switch (k) {
            case 0:
                square[0] = {1.0f, 0.25f, -0.71f, u - h};
                square[1] = {1.0f, 0.5f, -0.71f, u + h};
                square[2] = {0.75f, 0.5f, -0.79f, u + h};
                square[3] = {0.75f, 0.25f, -0.79f, u - h};
                break;
            case 1:
                square[0] = {1.0f, 0.25f, u - h, 0.66f};
                square[1] = {1.0f, 0.5f, u + h, 0.66f};
                square[2] = {0.75f, 0.5f, u + h, 0.74f};
                square[3] = {0.75f, 0.25f, u - h, 0.74f};
                break;
            case 2:
                square[0] = {1.0f, 0.25f, 0.71f, u - h};
                square[1] = {1.0f, 0.5f, 0.71f, u + h};
                square[2] = {0.75f, 0.5f, 0.79f, u + h};
                square[3] = {0.75f, 0.25f, 0.79f, u - h};
                break;
            default:
                square[0] = {1.0f, 0.25f, u - h, -0.66f};
                square[1] = {1.0f, 0.5f, u + h, -0.66f};
                square[2] = {0.75f, 0.5f, u + h, -0.74f};
                square[3] = {0.75f, 0.25f, u - h, -0.74f};
                break;
            }
            squares.add(square, z);
        }
    }
}

void setPacerColour(std::int32_t phase) {
    switch (phase) {
    case 0:
        glColor4f(0.9f, 0.1f, 0.01f, 0.5f);
        break;
    case 1:
    case 3:
        glColor4f(0.1f, 0.9f, 0.01f, 0.5f);
        break;
    case 2:
        glColor4f(0.1f, 0.01f, 0.0f, 0.5f);
        break;
    default:
        break;
    }
}

// The points of an ellipse around the pacer's centre, from the top clockwise.
std::vector<Corner3> ellipse(float radius, float z) {
    std::vector<Corner3> points;
    points.reserve(126);
    for (float a = 0.0f; a < kTwoPi; a += 0.05f)
        points.push_back({kRound * radius * std::sin(a), kPacerY + radius * std::cos(a), z});
    return points;
}

void drawPacer(const Gui& g) {
    const TrainingScreenState& state = g.trainingScreen;
    glDisable(GL_TEXTURE_2D);
    fillPolygon(ellipse(state.pacerRadius, -0.05f));
    if (g.sensor.breathStatus == 2) {
        glBegin(GL_LINE_STRIP);
        for (const Corner3& p : ellipse(state.breathRadius, -0.06f))
            glVertex3f(p.x, p.y, p.z);
        glEnd();
    }
    glEnable(GL_TEXTURE_2D);
}

// Both dials show the share of the session's cycles already done: the right one fills
// clockwise from the top, the left one is its mirror image. Radii 0.1875 x 0.25 are a
// circle of 75 pixels in the 800 x 600 picture.
void drawCycleDials(const TrainingSession& s, const Viewport& viewport) {
    constexpr float z = -0.05f;
    constexpr float rx = 0.1875f, ry = 0.25f;
    constexpr float outlineEnd = 6.597344756126404f; // 2.1 pi: the outline overlaps itself
    glLineWidth(0.1f);
    // As many segments as the pixels need: none strays a tenth of a pixel from the circle.
    const double radiusPixels =
        std::max(rx * double(viewport.width), ry * double(viewport.height)) / 2.0;
    const double widest = radiusPixels > 0.1 ? 2.0 * std::acos(1.0 - 0.1 / radiusPixels) : 0.2;
    const int segments = static_cast<int>(std::ceil(outlineEnd / std::clamp(widest, 0.02, 0.2)));
    for (const float side : {1.0f, -1.0f}) {
        glBegin(GL_LINE_STRIP);
        for (int k = 0; k <= segments; ++k) {
            const float a = outlineEnd * static_cast<float>(k) / static_cast<float>(segments);
            glVertex3f(side * (0.4f + rx * std::sin(a)), kPacerY + ry * std::cos(a), z);
        }
        glEnd();
    }
    glLineWidth(1.0f);

    // Without a session length there is nothing to divide; show empty dials.
    float done = 0.0f;
    if (s.cyclesSetting > 0)
        done = static_cast<float>(s.cyclesSetting - s.cyclesLeft) *
               (kTwoPi / static_cast<float>(s.cyclesSetting));
    std::vector<Corner3> sector;
    for (const float side : {1.0f, -1.0f}) {
        sector.assign(1, {side * 0.4f, kPacerY, z});
        for (float a = 0.0f; a < done; a += 0.05f)
            sector.push_back({side * (0.4f + rx * std::sin(a)), kPacerY + ry * std::cos(a), z});
        fillPolygon(sector);
    }
}

} // namespace

void Gui::drawTraining(const Viewport& viewport) const {
    const TrainingSession& s = session;

    // The previous frame's graph or overlay normally left texturing on; a training frame
    // that comes first (no menu frame before it) must not draw its pictures untextured.
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.1f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor4f(1.0f, 1.0f, 1.0f, 0.9f);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(backgroundTexture));

    drawBackgroundMesh();
    drawPhaseWord(*this, s.phase);

    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(barTexture));
    drawPhaseBars(*this);
    drawCaption(*this);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(barTexture));
    if (isShown(*this, HideToggle::BeatSquares)) drawBeatSquares(s, barTexture);
    drawCornerOrnaments();
    drawScreenFrame();

    setPacerColour(s.phase);
    if (isShown(*this, HideToggle::Pacer)) drawPacer(*this);
    glDisable(GL_TEXTURE_2D);

    setPhaseTint(s.phase, 0.9f);
    if (isShown(*this, HideToggle::CycleDials)) drawCycleDials(s, viewport);
    drawInnerPanel();
    drawPulseGraph();
}

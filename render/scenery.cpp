// The training screen's scenery: background through a moving lens, ornaments, frame, panel.
#include <GL/gl.h>

#include <array>
#include <cmath>

#include "gui/gui.hpp"
#include "render/hide_toggles.hpp"
#include "render/phase_tint.hpp"
#include "render/visible_texels.hpp"

namespace {

constexpr int kGrid = 49; // lens grid points per side
constexpr float kLensRadius = 1.2f;

} // namespace

void Gui::drawBackgroundMesh() const {
    if (!isShown(*this, HideToggle::Background)) return;
    const float phi = trainingScreen.lensPhase;
    // The lens centre wanders on two slightly different periods so its path never repeats
    // exactly.
    const float p = 0.25f * std::sin(phi / 10.0f);
    const float q = std::cos(phi / 9.0f) / 4.1f;

    glPushMatrix();
    glRotatef(-phi, 0.0f, 0.0f, 1.0f); // the radian value read as degrees: a slow turn
    glTranslatef(q - p, p - q, 0.0f);
    switch (session.phase) {
    case 0:
        glColor4f(0.9f, 0.961f, 0.969f, 1.0f);
        break;
    case 2:
        glColor4f(0.969f, 0.961f, 0.9f, 1.0f);
        break;
    case 1:
    case 3:
        glColor4f(0.969f, 0.9f, 0.961f, 1.0f);
        break;
    default:
        break;
    }

    // The picture is opaque and drawn first: in a phase's own colour (alpha 1) blending and
    // the alpha test would change nothing, so the rasteriser is spared them, and the overlay
    // state is set again for what follows.
    const bool opaque = session.phase >= 0 && session.phase <= 3;
    if (opaque) {
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
    }

    std::array<float, kGrid * kGrid> xs;
    std::array<float, kGrid * kGrid> ys;
    float a = -1.5f;
    for (int i = 0; i < kGrid; ++i) {
        float b = 1.5f;
        for (int j = 0; j < kGrid; ++j) {
            const float dx = a - p;
            const float dy = b - q;
            float r = std::sqrt(dx * dx + dy * dy);
            // With dx as the first argument a point far from the lens lands at (p + dy,
            // q + dx): the picture lies with its s axis upwards.
            const float theta = std::atan2(dx, dy);
            // Inside the lens the points are pushed outwards, which magnifies its middle.
            if (r < kLensRadius) r = kLensRadius * std::exp(0.6f * std::log(r / kLensRadius));
            xs[static_cast<std::size_t>(kGrid * i + j)] = p + r * std::cos(theta);
            ys[static_cast<std::size_t>(kGrid * i + j)] = q + r * std::sin(theta);
            b -= 0.08f;
        }
        a += 0.08f;
    }

    const auto point = [&](int i, int j) {
        const auto at = static_cast<std::size_t>(kGrid * i + j);
        glTexCoord2f(static_cast<float>(i) / kGrid, static_cast<float>(j) / kGrid);
        glVertex3f(xs[at], ys[at], 0.02f);
    };
    // Row and column 0 and the last row and column are left out.
    glBegin(GL_TRIANGLES);
    for (int j = 1; j < kGrid - 1; ++j) {
        for (int i = 1; i < kGrid - 1; ++i) {
            point(i, j);
            point(i + 1, j);
            point(i + 1, j + 1);
            point(i, j);
            point(i, j + 1);
            point(i + 1, j + 1);
        }
    }
    glEnd();
    glPopMatrix();
    if (opaque) {
        glEnable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
    }
}

void Gui::drawCornerOrnaments() const {
    const float phi = trainingScreen.ornamentPhase;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    constexpr float centres[4][2] = {
        {-0.895f, -0.865f}, {0.895f, -0.865f}, {0.895f, 0.865f}, {-0.895f, 0.865f}};
    constexpr float texCoords[4][2] = {{1.0f, 0.0f}, {1.0f, 0.25f}, {0.75f, 0.25f}, {0.75f, 0.0f}};
    constexpr float corners[4] = {0.785f, 2.355f, 3.925f, 5.495f}; // quarter turns from 45 deg
    VisibleQuads ornaments(barTexture, TexelCut::AlphaTest);
    for (const auto& c : centres) {
        TexturedCorner quad[4];
        for (int v = 0; v < 4; ++v) {
            const float alpha = phi + corners[v];
            quad[v] = {texCoords[v][0], texCoords[v][1], c[0] + 0.16f * std::cos(alpha),
                       c[1] + 0.2f * std::sin(alpha)};
        }
        ornaments.add(quad, -0.015f);
    }
}

void Gui::drawScreenFrame() const {
    constexpr float z = -0.02f;
    setPhaseTint(session.phase, 0.9f);

    // Corner plates: top left, top right, bottom right, bottom left.
    constexpr float plates[4][2] = {{-1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, -1.0f}, {-1.0f, -1.0f}};
    VisibleQuads frame(barTexture, TexelCut::AlphaTest);
    for (const auto& c : plates) {
        const float x = c[0], y = c[1];
        const TexturedCorner plate[4] = {{0.25f, 0.0f, x, y},
                                         {0.75f, 0.0f, 0.68f * x, y},
                                         {0.75f, 0.5f, 0.68f * x, 0.58f * y},
                                         {0.25f, 0.5f, x, 0.58f * y}};
        frame.add(plate, z);
    }

    // The picture that frames the pacer, whose centre is (0, 0.2).
    if (isShown(*this, HideToggle::Pacer)) {
        const TexturedCorner picture[4] = {{0.5f, 0.5f, -0.2f, 0.45f},
                                           {1.0f, 0.5f, -0.2f, -0.05f},
                                           {1.0f, 0.999f, 0.2f, -0.05f},
                                           {0.5f, 0.999f, 0.2f, 0.45f}};
        frame.add(picture, z);
    }

    // Edge strips: left, right, bottom, top.
    for (const float x : {-1.0f, 1.0f}) {
        const TexturedCorner strip[4] = {{0.25f, 0.5f, 1.005f * x, -0.9f},
                                         {0.5f, 0.5f, 0.835f * x, -0.9f},
                                         {0.5f, 1.0f, 0.835f * x, 0.9f},
                                         {0.25f, 1.0f, 1.005f * x, 0.9f}};
        frame.add(strip, z);
    }
    for (const float y : {-1.0f, 1.0f}) {
        const TexturedCorner strip[4] = {{0.25f, 0.5f, 0.9f, 1.01f * y},
                                         {0.5f, 0.5f, 0.9f, 0.79f * y},
                                         {0.5f, 1.0f, -0.9f, 0.79f * y},
                                         {0.25f, 1.0f, -0.9f, 1.01f * y}};
        frame.add(strip, z);
    }
}

void Gui::drawInnerPanel() const {
    constexpr float z = 0.01f;
    setPhaseTint(session.phase, 0.3f);
    // Without blending the outline shows the tint opaque.
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glBegin(GL_LINES);
    glVertex3f(-0.71f, -0.66f, z);
    glVertex3f(-0.71f, 0.66f, z);
    glVertex3f(-0.71f, 0.66f, z);
    glVertex3f(0.71f, 0.66f, z);
    glVertex3f(0.71f, 0.66f, z);
    glVertex3f(0.71f, -0.66f, z);
    glVertex3f(0.71f, -0.66f, z);
    glVertex3f(-0.71f, -0.66f, z);
    glEnd();
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    // Lies behind everything but the background, so it tints only the background.
    glBegin(GL_QUADS);
    glVertex3f(-0.71f, -0.66f, z);
    glVertex3f(-0.71f, 0.66f, z);
    glVertex3f(0.71f, 0.66f, z);
    glVertex3f(0.71f, -0.66f, z);
    glEnd();
}

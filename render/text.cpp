// Text output: glyph quads cut from the 16 x 16 atlas, and bitmap-font text from display lists.
#include "render/text.hpp"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "gui/gui.hpp"
#include "platform/bitmap_font.hpp"
#include "render/visible_texels.hpp"

void Gui::drawText(float x, float y, float size, std::string_view text) const {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(fontTexture));
    const double h = size;
    const double advance = h / 1.5; // neighbouring glyphs overlap by a third of their width
    const double top = y + h / 1.5;
    const double bottom = y - h / 1.5;
    const float z = -0.005f;
    VisibleQuads glyphs(fontTexture, TexelCut::AlphaTest); // one block for the whole text
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned b = static_cast<unsigned char>(text[i]);
        const unsigned row = b / 16; // counted from the top of the atlas
        const unsigned column = b - 16 * row;
        const double leftS = column * 0.0625;
        const double rightS = (column + 1) * 0.0625;
        const double topT = (16 - row) * 0.0625;
        const double bottomT = (15 - row) * 0.0625;
        const double leftX = x + static_cast<double>(i) * advance;
        const double rightX = leftX + h;
        const TexturedCorner glyph[4] = {
            {static_cast<float>(leftS), static_cast<float>(topT), static_cast<float>(leftX),
             static_cast<float>(top)},
            {static_cast<float>(leftS), static_cast<float>(bottomT), static_cast<float>(leftX),
             static_cast<float>(bottom)},
            {static_cast<float>(rightS), static_cast<float>(bottomT), static_cast<float>(rightX),
             static_cast<float>(bottom)},
            {static_cast<float>(rightS), static_cast<float>(topT), static_cast<float>(rightX),
             static_cast<float>(top)}};
        // Only the box round the glyph's own pixels: most of its cell is empty.
        glyphs.add(glyph, z, true);
    }
}

namespace {
constexpr int kCellHeight = 60; // pixels, in the 800 x 600 picture
int scaledCellHeight = kCellHeight;
int builtCellHeight = 0; // 0 until the font has been built
} // namespace

void createBitmapFont() {
    // 255 lists, not 256: code 255 has none, and no bitmap-font text uses it.
    const BitmapFontRequest request{"DadiDiva", scaledCellHeight, 300, kBitmapFontListBase, 255};
    builtCellHeight = buildBitmapFont(request) ? scaledCellHeight : 0;
}

void scaleBitmapFont(double scale) {
    const int height = std::max(1, static_cast<int>(std::lround(kCellHeight * scale)));
    if (height == scaledCellHeight) return;
    scaledCellHeight = height;
    if (builtCellHeight != 0) createBitmapFont();
}

void drawBitmapText(double x, double y, double z, std::size_t count, const char* bytes) {
    glDisable(GL_TEXTURE_2D); // bitmaps are not textured
    glRasterPos3d(x, y, z);   // takes the current colour for the glyphs
    glListBase(kBitmapFontListBase);
    glCallLists(static_cast<GLsizei>(count), GL_UNSIGNED_BYTE, bytes);
}

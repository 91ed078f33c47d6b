// Which parts of each texture can show, so mostly transparent quads are filled only there.
#pragma once

#include <cstdint>
#include <vector>

// One corner of a textured quad: texture coordinates and position.
struct TexturedCorner {
    float s, t, x, y;
};

// Notes which cells of a texture hold texels with alpha above zero, from the pixels as they
// are uploaded (rows from t = 0, four bytes a texel). A texture without notes (opaque or
// missing image) is drawn whole.
void noteVisibleTexels(std::int32_t texture, int width, int height, const std::uint8_t* rgba);
void forgetVisibleTexels(std::int32_t texture);

struct VisibleCells;

// The state the caller draws its quads in, which says what of a texture cannot show: with the
// alpha test at GL_GREATER 0.1 (the overlays' state) texels of alpha 0.1 or less; with only
// SRC_ALPHA, ONE_MINUS_SRC_ALPHA blending texels of alpha 0; otherwise nothing.
enum class TexelCut { AlphaTest, Blending, None };

// A block of textured quads of one texture, filled only where they can show. Each quad's
// corners (in drawing order) map texture coordinates to positions affinely, and every piece
// drawn keeps the position and texture coordinates the whole quad gives its points. Pieces
// whose texels `cut` leaves out are not drawn; with TexelCut::None the quads are drawn whole.
// The state `cut` names must hold for the whole block; the colour may change inside.
class VisibleQuads {
public:
    VisibleQuads(std::int32_t texture, TexelCut cut); // glBegin(GL_QUADS)
    ~VisibleQuads();                                  // glEnd
    VisibleQuads(const VisibleQuads&) = delete;
    VisibleQuads& operator=(const VisibleQuads&) = delete;

    // `oneBox`: one piece spanning all that shows, for small quads such as glyphs.
    void add(const TexturedCorner (&corners)[4], float z, bool oneBox = false);

private:
    const VisibleCells* cells_ = nullptr;
    const std::vector<bool>* shows_ = nullptr;
};

// One quad as a block of its own.
void drawVisibleQuad(std::int32_t texture, const TexturedCorner (&corners)[4], float z,
                     TexelCut cut);

// Which parts of each texture can show, so mostly transparent quads are filled only there.
#pragma once

#include <cstdint>

// One corner of a textured quad: texture coordinates and position.
struct TexturedCorner {
    float s, t, x, y;
};

// Notes which cells of a texture hold texels with alpha above zero, from the pixels as they
// are uploaded (rows from t = 0, four bytes a texel). A texture without notes (opaque or
// missing image) is drawn whole.
void noteVisibleTexels(std::int32_t texture, int width, int height, const std::uint8_t* rgba);
void forgetVisibleTexels(std::int32_t texture);

// Emits, inside the caller's glBegin(GL_QUADS), the parts of a textured quad that can show:
// its corners (in drawing order) map texture coordinates to positions affinely, and every
// piece keeps the position and texture coordinates the whole quad gives its points. Pieces
// without a visible texel are left out; they would only be cut by the alpha test or blended
// with alpha 0. `oneBox`: one piece spanning everything visible, for small quads such as glyphs.
void emitVisibleQuad(std::int32_t texture, const TexturedCorner (&corners)[4], float z,
                     bool oneBox = false);

// The same as a block of its own.
void drawVisibleQuad(std::int32_t texture, const TexturedCorner (&corners)[4], float z);

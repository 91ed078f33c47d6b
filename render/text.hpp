// Bitmap-font text: display lists 1000..1254, one per CP1251 character 0..254.
#pragma once

#include <cstddef>

constexpr unsigned kBitmapFontListBase = 1000;

// Creates the program's bitmap font (face "DadiDiva", light, cell height 60 at the picture's
// own size) in the current OpenGL context.
void createBitmapFont();

// The picture is drawn `scale` times its 800 x 600 size: the font is rebuilt with its cell
// height scaled alike (a built font only when the pixel size changes), so bitmap text keeps
// its place and length in the picture. Main thread, context current.
void scaleBitmapFont(double scale);

// Draws `count` CP1251 bytes at the raster position (x, y, z) with the current colour.
// Leaves texturing off; the caller switches it on after its last string.
void drawBitmapText(double x, double y, double z, std::size_t count, const char* bytes);

// Bitmap-font text: display lists 1000..1254, one per CP1251 character 0..254.
#pragma once

#include <cstddef>

constexpr unsigned kBitmapFontListBase = 1000;

// Creates the program's bitmap font (face "DadiDiva", light, cell height 60) in the current
// OpenGL context.
void createBitmapFont();

// Draws `count` CP1251 bytes at the raster position (x, y, z) with the current colour.
// Leaves texturing off; the caller switches it on after its last string.
void drawBitmapText(double x, double y, double z, std::size_t count, const char* bytes);

// The bitmap font: a named face rasterised into OpenGL display lists, one per CP1251 code.
#pragma once

struct BitmapFontRequest {
    const char* faceName;  // looked up by name; a face with Cyrillic letters when missing
    int cellHeight;        // pixels, like a Windows font height
    int weight;            // 100..900, 400 regular, 300 light
    unsigned firstList;    // list firstList + c draws CP1251 character c
    int count;             // characters 0 .. count - 1
};

// Builds the lists in the current OpenGL context; each draws its glyph with glBitmap at the
// raster position and advances it. False (no lists) when no face can be loaded. Main thread.
bool buildBitmapFont(const BitmapFontRequest& request);

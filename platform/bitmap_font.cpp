// STUB: replaced by the FreeType bitmap font.
#include "platform/bitmap_font.hpp"

bool buildBitmapFont(const BitmapFontRequest&) { return false; }

// The bitmap font on Windows: a GDI font turned into display lists by wglUseFontBitmapsA.
#include "platform/bitmap_font.hpp"

#include "platform/win32/win32_shared.hpp"

#include <GL/gl.h>

namespace {

// A substitute face is drawn at this fraction of its width, as on every system: the design's
// face is a narrow one, and the longest warning line must fit on the 800-pixel screen.
constexpr double kSubstituteWidthScale = 0.8;

HFONT createFont(const BitmapFontRequest& request, int width) {
    return CreateFontA(request.cellHeight, width, 0, 0, request.weight, FALSE, FALSE, FALSE,
                       RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, request.faceName);
}

} // namespace

bool buildBitmapFont(const BitmapFontRequest& request) {
    const HDC dc = wglGetCurrentDC();
    if (!dc || request.count <= 0) return false;
    // Without the face, the font mapper substitutes one of the Cyrillic character set.
    HFONT font = createFont(request, 0);
    if (!font) return false;
    SelectObject(dc, font);
    char face[LF_FACESIZE] = {};
    GetTextFaceA(dc, sizeof face, face);
    TEXTMETRICA metrics{};
    if (lstrcmpiA(face, request.faceName) != 0 && GetTextMetricsA(dc, &metrics) &&
        metrics.tmAveCharWidth > 0) {
        const int narrow = static_cast<int>(metrics.tmAveCharWidth * kSubstituteWidthScale + 0.5);
        if (HFONT condensed = createFont(request, narrow)) {
            SelectObject(dc, condensed);
            DeleteObject(font);
            font = condensed;
        }
    }
    // The font stays selected into the window's device context for the life of the window.
    const auto count = static_cast<DWORD>(request.count);
    // Some drivers fail the first call after the context is made current; a second succeeds.
    return wglUseFontBitmapsA(dc, 0, count, request.firstList) ||
           wglUseFontBitmapsA(dc, 0, count, request.firstList);
}

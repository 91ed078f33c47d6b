// The bitmap font: a face found with fontconfig, rasterised with FreeType into glBitmap lists.
#include "platform/bitmap_font.hpp"

#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace {

// Windows-1251 bytes 0x80..0xBF as Unicode; 0x98 is unassigned. Below 0x80 is ASCII and
// 0xC0..0xFF are А..я in order.
constexpr char32_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

char32_t cp1251CodePoint(unsigned code) {
    if (code < 0x20) return 0; // control codes draw nothing
    if (code < 0x80) return code;
    if (code < 0xC0) return kCp1251High[code - 0x80];
    return 0x0410 + (code - 0xC0);
}

struct FontFile {
    std::string path;
    int index = 0;
    bool substitute = false; // not the requested face
};

// A substitute face is drawn at this fraction of its width: the design's face is a narrow
// one, and the longest warning line (29 letters from 20 pixels off the left edge) must fit
// on the 800-pixel screen.
constexpr double kSubstituteWidthScale = 0.8;

// The requested face when it is installed. Otherwise a substitute with the Cyrillic letters of
// Windows-1251, as Windows substitutes another face of the requested character set; among the
// substitutes a narrow one is preferred, because the warning lines were laid out for a narrow
// face and run off the screen in a face of ordinary width.
bool findFontFile(const BitmapFontRequest& request, FontFile& found) {
    if (!FcInit()) return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.faceName));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.weight));
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, request.cellHeight);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    if (FcLangSet* languages = FcLangSetCreate()) {
        FcLangSetAdd(languages, reinterpret_cast<const FcChar8*>("ru"));
        FcPatternAddLangSet(pattern, FC_LANG, languages);
        FcLangSetDestroy(languages);
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    int requested = -1, firstNarrow = -1, firstCyrillic = -1;
    for (int i = 0; fonts && i < fonts->nfont && requested < 0; ++i) {
        FcPattern* font = fonts->fonts[i];
        FcCharSet* chars = nullptr;
        FcChar8* file = nullptr;
        if (FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) != FcResultMatch ||
            FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch)
            continue;
        if (!FcCharSetHasChar(chars, 0x0416) || !FcCharSetHasChar(chars, 0x044F) ||
            !FcCharSetHasChar(chars, 'A'))
            continue;
        FcChar8* family = nullptr;
        if (FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch &&
            FcStrCmpIgnoreCase(family, reinterpret_cast<const FcChar8*>(request.faceName)) == 0)
            requested = i;
        int width = FC_WIDTH_NORMAL;
        FcPatternGetInteger(font, FC_WIDTH, 0, &width);
        if (firstNarrow < 0 && width <= FC_WIDTH_SEMICONDENSED) firstNarrow = i;
        if (firstCyrillic < 0) firstCyrillic = i;
    }
    const int chosen = requested >= 0 ? requested : firstNarrow >= 0 ? firstNarrow : firstCyrillic;
    bool ok = false;
    if (chosen >= 0) {
        FcChar8* file = nullptr;
        int index = 0;
        FcPatternGetString(fonts->fonts[chosen], FC_FILE, 0, &file);
        FcPatternGetInteger(fonts->fonts[chosen], FC_INDEX, 0, &index);
        found.path = reinterpret_cast<const char*>(file);
        found.index = index;
        found.substitute = requested < 0;
        ok = true;
    }
    if (fonts) FcFontSetDestroy(fonts);
    FcPatternDestroy(pattern);
    // The font is found once (again only when the picture's size changes): the parsed
    // configuration and font caches, about a megabyte, are let go until then.
    FcFini();
    return ok;
}

// Scales the face so that ascent plus descent, the Windows cell height, is `cellHeight` pixels.
bool setCellHeight(FT_Face face, int cellHeight) {
    double extent = 0;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->usWinAscent + os2->usWinDescent > 0)
        extent = os2->usWinAscent + os2->usWinDescent;
    else if (face->ascender - face->descender > 0)
        extent = face->ascender - face->descender;
    if (extent <= 0 || face->units_per_EM == 0) {
        return FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(cellHeight)) == 0;
    }
    const double em = cellHeight * face->units_per_EM / extent;
    return FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(em * 64.0 + 0.5), 72, 72) == 0;
}

// Compiles one list: the glyph's one-bit bitmap with its origin on the base line, then the
// advance. glBitmap copies the pixels into the list when it is compiled.
void compileGlyph(FT_Face face, char32_t codePoint, GLuint list) {
    std::vector<GLubyte> rows;
    GLsizei width = 0, height = 0;
    GLfloat originX = 0, originY = 0, advance = 0;
    if (codePoint != 0 &&
        FT_Load_Char(face, codePoint, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) ==
            0) {
        const FT_GlyphSlot g = face->glyph;
        const FT_Bitmap& bitmap = g->bitmap;
        advance = static_cast<GLfloat>(g->advance.x) / 64.0f;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO && bitmap.width > 0 && bitmap.rows > 0) {
            width = static_cast<GLsizei>(bitmap.width);
            height = static_cast<GLsizei>(bitmap.rows);
            const std::size_t rowBytes = (bitmap.width + 7) / 8;
            rows.resize(rowBytes * bitmap.rows);
            // FreeType rows run top-down, glBitmap rows bottom-up.
            for (unsigned r = 0; r < bitmap.rows; ++r) {
                const int pitch = bitmap.pitch;
                const unsigned char* src =
                    pitch >= 0
                        ? bitmap.buffer + static_cast<std::ptrdiff_t>(r) * pitch
                        : bitmap.buffer + static_cast<std::ptrdiff_t>(bitmap.rows - 1 - r) * -pitch;
                std::copy_n(src, rowBytes, rows.data() + (bitmap.rows - 1 - r) * rowBytes);
            }
            originX = static_cast<GLfloat>(-g->bitmap_left);
            originY = static_cast<GLfloat>(height - g->bitmap_top);
        }
    }
    glNewList(list, GL_COMPILE);
    glBitmap(width, height, originX, originY, advance, 0, rows.empty() ? nullptr : rows.data());
    glEndList();
}

} // namespace

bool buildBitmapFont(const BitmapFontRequest& request) {
    FontFile file;
    if (!findFontFile(request, file)) return false;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return false;
    FT_Face face = nullptr;
    bool ok = FT_New_Face(library, file.path.c_str(), file.index, &face) == 0;
    ok = ok && setCellHeight(face, request.cellHeight);
    if (ok && file.substitute) {
        FT_Matrix condense{static_cast<FT_Fixed>(kSubstituteWidthScale * 0x10000), 0, 0, 0x10000};
        FT_Set_Transform(face, &condense, nullptr); // scales outlines and advances alike
    }
    if (ok) {
        GLint alignment = 4;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        for (int c = 0; c < request.count; ++c)
            compileGlyph(face, cp1251CodePoint(static_cast<unsigned>(c)),
                         request.firstList + static_cast<unsigned>(c));
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    }
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(library);
    return ok;
}

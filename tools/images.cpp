// The program's pictures: menu skin, glyph atlas, bar and frame image, background.
#include "images.hpp"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "canvas.hpp"

namespace {

// The palette: calm sea and sky tones with a warm sand accent.
const Colour kDeepBlue = hex(0x2F5D7C);
const Colour kTeal = hex(0x4C9AA6);
const Colour kSeafoam = hex(0x8FD0C6);
const Colour kSky = hex(0xBFE3EC);
const Colour kMist = hex(0xEEF7F8);
const Colour kSand = hex(0xF3CF98);
const Colour kPeach = hex(0xEBAE8E);
const Colour kLavender = hex(0xB3AEE0);
const Colour kInk = hex(0x15283A);

void setColour(cairo_t* cr, const Colour& c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void addStop(cairo_pattern_t* p, double at, const Colour& c, double alpha = 1.0) {
    cairo_pattern_add_color_stop_rgba(p, at, c.r, c.g, c.b, alpha);
}

void fillVertical(cairo_t* cr, double y0, double y1, const Colour& top, const Colour& bottom,
                  double alphaTop = 1.0, double alphaBottom = 1.0) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    addStop(p, 0, top, alphaTop);
    addStop(p, 1, bottom, alphaBottom);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
}

// Writes the canvas as a TGA. Transparent texels next to visible ones take their colour (so
// filtering does not darken soft edges); `whiteElsewhere` makes every other transparent texel
// white instead of black.
bool finish(Canvas& canvas, const std::string& path, int bleed = 6, bool whiteElsewhere = false) {
    std::vector<std::uint8_t> rgba = canvas.rgba();
    Canvas::bleedEdges(rgba, canvas.size(), bleed);
    if (whiteElsewhere) {
        for (std::size_t i = 0; i < rgba.size(); i += 4)
            if (rgba[i + 3] == 0 && rgba[i] == 0 && rgba[i + 1] == 0 && rgba[i + 2] == 0)
                rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;
    }
    return writeTga32(path, rgba, canvas.size());
}

// ---------------------------------------------------------------------------------------
// menu.tga: the backdrop (t 0.26..1) and four widget skins below it. Widgets are tinted by
// multiplying with their colour (grey 0.5, near white, red when selected or checked, dark
// while highlighted), so the skins are light and nearly neutral; the glyph atlas gives the
// captions their own dark outline, because a caption has the same colour as its widget.
// ---------------------------------------------------------------------------------------

// A light glassy body with a soft top highlight and a thin rim.
void widgetSkin(Canvas& c, double x0, double y0, double x1, double y1, double radius,
                const Colour& top, const Colour& bottom, const Colour& rim, double bodyAlpha) {
    cairo_t* cr = c.cr();
    const double w = x1 - x0, h = y1 - y0;
    roundedRectangle(cr, x0, y0, w, h, radius);
    fillVertical(cr, y0, y1, top, bottom, bodyAlpha, bodyAlpha);
    cairo_new_path(cr);
    // Upper sheen: white fading out toward the middle.
    roundedRectangle(cr, x0 + 3, y0 + 2.5, w - 6, h * 0.5, std::max(1.0, radius - 3));
    cairo_pattern_t* sheen = cairo_pattern_create_linear(0, y0, 0, y0 + h * 0.5);
    addStop(sheen, 0, {1, 1, 1}, 0.75);
    addStop(sheen, 1, {1, 1, 1}, 0.0);
    cairo_set_source(cr, sheen);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);
    // Lower inner shade, so the body reads as rounded.
    roundedRectangle(cr, x0 + 2, y0 + h * 0.55, w - 4, h * 0.45 - 2, std::max(1.0, radius - 2));
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, y0 + h * 0.55, 0, y1);
    addStop(shade, 0, kDeepBlue, 0.0);
    addStop(shade, 1, kDeepBlue, 0.10);
    cairo_set_source(cr, shade);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
    roundedRectangle(cr, x0 + 0.75, y0 + 0.75, w - 1.5, h - 1.5, radius);
    setColour(cr, rim, 0.85);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
}

void menuBackdrop(Canvas& c) {
    cairo_t* cr = c.cr();
    c.clipRegion(0, 0.26, 1, 1);
    const double x0 = 4, y0 = c.y(1) + 4, x1 = c.size() - 4.0, y1 = c.y(0.26) - 4;
    const double w = x1 - x0, h = y1 - y0;
    roundedRectangle(cr, x0, y0, w, h, 30);
    cairo_clip_preserve(cr);
    fillVertical(cr, y0, y1, hex(0xEEF7F8), hex(0xBFDDE6), 0.97, 0.97);
    cairo_new_path(cr);

    // A soft light from the upper left.
    cairo_pattern_t* glow = cairo_pattern_create_radial(x0 + w * 0.22, y0 + h * 0.12, 0,
                                                        x0 + w * 0.22, y0 + h * 0.12, w * 0.75);
    addStop(glow, 0, {1, 1, 1}, 0.30);
    addStop(glow, 1, {1, 1, 1}, 0.0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);

    // Breathing ripples spreading from the lower right.
    for (int i = 1; i <= 7; ++i) {
        cairo_arc(cr, x0 + w * 0.86, y0 + h * 0.92, 34.0 * i, 0, 2 * M_PI);
        setColour(cr, kTeal, 0.10 - 0.011 * i);
        cairo_set_line_width(cr, 9);
        cairo_stroke(cr);
    }
    // Two slow waves along the bottom.
    for (int band = 0; band < 2; ++band) {
        const double base = y0 + h * (0.80 + 0.08 * band);
        cairo_move_to(cr, x0, y1);
        for (int i = 0; i <= 64; ++i) {
            const double px = x0 + w * i / 64.0;
            cairo_line_to(cr, px, base + 9 * std::sin(i / 64.0 * 2 * M_PI * 1.3 + band * 1.7));
        }
        cairo_line_to(cr, x1, y1);
        cairo_close_path(cr);
        setColour(cr, band == 0 ? kSeafoam : kTeal, band == 0 ? 0.30 : 0.22);
        cairo_fill(cr);
    }
    cairo_reset_clip(cr);

    // Rims: a light inner line and a calm dark edge.
    roundedRectangle(cr, x0 + 3.5, y0 + 3.5, w - 7, h - 7, 27);
    setColour(cr, {1, 1, 1}, 0.8);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    roundedRectangle(cr, x0 + 0.75, y0 + 0.75, w - 1.5, h - 1.5, 30);
    setColour(cr, hex(0x3F7D92), 0.95);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    c.restore();
}

void menuWidgets(Canvas& c) {
    const Colour rim = hex(0x3C667A);
    // MenuItem: s 0..0.5, t 0.0015..0.114; a pill.
    c.clipRegion(0, 0.0015, 0.5, 0.114);
    widgetSkin(c, c.x(0) + 4, c.y(0.114) + 3, c.x(0.5) - 4, c.y(0.0015) - 3, 26, hex(0xA9CAD6),
               hex(0x5C8CA1), rim, 1.0);
    c.restore();
    // SmallButton: s 0.5..1, t 0.005..0.114; a rounded rectangle.
    c.clipRegion(0.5, 0.005, 1, 0.114);
    widgetSkin(c, c.x(0.5) + 4, c.y(0.114) + 3, c.x(1) - 4, c.y(0.005) - 3, 15, hex(0xA3C6D3),
               hex(0x5A8A9F), rim, 1.0);
    c.restore();
    // ListButton: s 0.01..0.48, t 0.125..0.25; a flatter row.
    c.clipRegion(0.01, 0.125, 0.48, 0.25);
    widgetSkin(c, c.x(0.01) + 4, c.y(0.25) + 4, c.x(0.48) - 4, c.y(0.125) - 4, 17, hex(0x9EC3D0),
               hex(0x6A97AA), rim, 0.97);
    c.restore();
    // Panel: s 0.5..1, t 0.125..0.25. Panels stretch far (up to five times vertically), so
    // the frame has no fine lines across t: a soft body with a gentle rim.
    c.clipRegion(0.5, 0.125, 1, 0.25);
    {
        cairo_t* cr = c.cr();
        const double x0 = c.x(0.5) + 3, y0 = c.y(0.25) + 2, x1 = c.x(1) - 3, y1 = c.y(0.125) - 2;
        roundedRectangle(cr, x0, y0, x1 - x0, y1 - y0, 10);
        fillVertical(cr, y0, y1, hex(0xFFFFFF), hex(0xE6EFF2), 0.93, 0.93);
        cairo_new_path(cr);
        roundedRectangle(cr, x0 + 0.75, y0 + 0.75, x1 - x0 - 1.5, y1 - y0 - 1.5, 10);
        setColour(cr, hex(0x5F8294), 0.75);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
        roundedRectangle(cr, x0 + 3, y0 + 2.5, x1 - x0 - 6, y1 - y0 - 5, 8);
        setColour(cr, {1, 1, 1}, 0.8);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
    }
    c.restore();
}

// ---------------------------------------------------------------------------------------
// font.tga: 16 x 16 cells of 32 pixels, byte b at column b % 16 and row b / 16 from the top.
// Glyphs are white with a dark outline so that they read on light and dark ground in any
// tint. A glyph quad is as wide as its cell but the pen advances only two thirds of it, so
// the ink stays inside the middle two thirds of the cell.
// ---------------------------------------------------------------------------------------

struct Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    cairo_font_face_t* cairoFace = nullptr;
};

bool openFace(const char* pattern, Face& f) {
    if (!FcInit()) return false;
    FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, p, &result);
    FcPatternDestroy(p);
    if (!match) return false;
    FcChar8* file = nullptr;
    int index = 0;
    FcPatternGetString(match, FC_FILE, 0, &file);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    std::printf("glyph atlas face: %s\n", file);
    const bool ok =
        file && FT_Init_FreeType(&f.library) == 0 &&
        FT_New_Face(f.library, reinterpret_cast<const char*>(file), index, &f.face) == 0;
    FcPatternDestroy(match);
    if (!ok) return false;
    f.cairoFace = cairo_ft_font_face_create_for_ft_face(f.face, 0);
    return true;
}

void closeFace(Face& f) {
    if (f.cairoFace) cairo_font_face_destroy(f.cairoFace);
    if (f.face) FT_Done_Face(f.face);
    if (f.library) FT_Done_FreeType(f.library);
}

// The Unicode character of a Windows-1251 byte, 0 for control codes and the unassigned 0x98.
std::uint32_t cp1251ToUnicode(unsigned byte) {
    if (byte < 0x20 || byte == 0x7F || byte == 0x98) return 0;
    iconv_t cd = iconv_open("UTF-32LE", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return byte < 0x80 ? byte : 0;
    char in = static_cast<char>(byte);
    char* inPtr = &in;
    std::size_t inLeft = 1;
    unsigned char out[4] = {0, 0, 0, 0};
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t outLeft = 4;
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) return 0;
    return out[0] | out[1] << 8 | out[2] << 16 | static_cast<std::uint32_t>(out[3]) << 24;
}

bool makeFont(const std::string& path) {
    Face face;
    if (!openFace("DejaVu Sans:style=Book", face)) {
        std::fprintf(stderr, "no DejaVu Sans face\n");
        return false;
    }
    Canvas c(512);
    cairo_t* cr = c.cr();
    const double cell = 32;
    const double em = 25;
    const double outline = 3.0;               // pen width; half of it lies outside the glyph
    const double maxInk = cell * 2 / 3 - 1.5; // ink plus outline, leaving a gap at the pen step
    const double baseline = 24.0;             // caps stand about the cell's middle line
    const double margin = 1.0;                // kept clear at the top and bottom of each cell
    cairo_set_font_face(cr, face.cairoFace);
    cairo_set_font_size(cr, em);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);

    for (unsigned b = 0; b < 256; ++b) {
        const std::uint32_t ch = cp1251ToUnicode(b);
        if (ch == 0 || ch == 0x20 || ch == 0xA0) continue;
        const FT_UInt index = FT_Get_Char_Index(face.face, ch);
        if (index == 0) continue;
        cairo_glyph_t glyph{index, 0, 0};
        cairo_text_extents_t ext;
        cairo_glyph_extents(cr, &glyph, 1, &ext);
        // Wide letters are condensed to the pen step; tall ones (accented capitals) are
        // lowered into the cell about the base line.
        // The pen step is the same for every letter, so letters are drawn a little wider
        // than the face has them (an even, slightly extended type reads better monospaced).
        const double sx = std::min(1.3, (maxInk - outline) / ext.width);
        const double half = outline / 2;
        const double room = baseline - margin - half; // above the base line
        const double below = cell - margin - half - baseline;
        double sy = 1.0;
        if (-ext.y_bearing > room) sy = std::min(sy, room / -ext.y_bearing);
        if (ext.y_bearing + ext.height > below)
            sy = std::min(sy, below / (ext.y_bearing + ext.height));
        const double width = ext.width * sx;
        const double cellX = (b % 16) * cell, cellY = (b / 16) * cell;
        cairo_save(cr);
        cairo_translate(cr, cellX + (cell - width) / 2, cellY + baseline);
        cairo_scale(cr, sx, sy);
        glyph.x = -ext.x_bearing;
        glyph.y = 0;
        cairo_glyph_path(cr, &glyph, 1);
        cairo_restore(cr); // the pen below is round, whatever the scale
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_line_width(cr, outline);
        setColour(cr, kInk, 0.92);
        cairo_stroke_preserve(cr);
        cairo_set_source_rgba(cr, 1, 1, 1, 1);
        cairo_fill(cr);
    }
    closeFace(face);
    // The pulse graph draws its lines with the atlas still bound, at the last texture
    // coordinate of its labels: a cell corner. Clear texels away from the ink are white, so
    // those lines keep their own colours.
    return finish(c, path, 2, true);
}

// ---------------------------------------------------------------------------------------
// Bar.tga. Regions (s, t): bars 0..0.24 x 0..1 (s across, outer edge at s 0; t along, the
// moving end at t 1, or 0.6 for the exhale bar); corner plates 0.25..0.75 x 0..0.5 (screen
// corner at s 0.25, t 0); edge strips 0.25..0.5 x 0.5..1 (screen edge at s 0.25); centre
// picture 0.5..1 x 0.5..0.999 (turned: s runs down the screen, t to the right); beat squares
// 0.75..1 x 0.25..0.5; ornaments 0.75..1 x 0..0.25 (turning, drawn untinted). Everything but
// the ornaments is tinted with pure colours or the phase tint, so it is white to grey here.
// ---------------------------------------------------------------------------------------

double smooth(double e0, double e1, double x) {
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// Writes straight RGBA into the canvas, premultiplying as Cairo expects.
void putPixel(Canvas& c, int x, int y, double grey, double alpha) {
    cairo_surface_t* s = c.surface();
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const auto a = static_cast<std::uint32_t>(std::lround(std::clamp(alpha, 0.0, 1.0) * 255));
    const auto v = static_cast<std::uint32_t>(std::lround(std::clamp(grey, 0.0, 1.0) * a));
    const std::uint32_t px = a << 24 | v << 16 | v << 8 | v;
    std::memcpy(data + y * stride + x * 4, &px, 4);
}

void barGlow(Canvas& c) {
    cairo_surface_flush(c.surface());
    const int x1 = static_cast<int>(c.x(0.24));
    for (int y = 0; y < c.size(); ++y) {
        const double t = 1.0 - (y + 0.5) / c.size();
        const double ends = smooth(0.0, 0.02, t) * smooth(1.0, 0.98, t);
        for (int x = 0; x < x1; ++x) {
            const double u = (x + 0.5) / x1; // 0 at the outer edge
            const double core = std::exp(-std::pow((u - 0.5) / 0.17, 2));
            const double halo = std::exp(-std::pow((u - 0.5) / 0.34, 2));
            const double edge = smooth(0.0, 0.06, u) * smooth(1.0, 0.94, u);
            const double alpha = std::min(1.0, 0.95 * core + 0.5 * halo) * edge * ends;
            putPixel(c, x, y, 0.82 + 0.18 * core, alpha);
        }
    }
    cairo_surface_mark_dirty(c.surface());
}

void beatSquare(Canvas& c) {
    cairo_t* cr = c.cr();
    c.clipRegion(0.75, 0.25, 1, 0.5);
    const double cx = c.x(0.875), cy = c.y(0.375), r = 46;
    // A soft halo, then a round gem with a highlight.
    cairo_arc(cr, cx, cy, r + 12, 0, 2 * M_PI);
    cairo_pattern_t* halo = cairo_pattern_create_radial(cx, cy, r - 6, cx, cy, r + 12);
    addStop(halo, 0, {1, 1, 1}, 0.55);
    addStop(halo, 1, {1, 1, 1}, 0.0);
    cairo_set_source(cr, halo);
    cairo_fill(cr);
    cairo_pattern_destroy(halo);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_pattern_t* body = cairo_pattern_create_radial(cx - 12, cy - 14, 4, cx, cy, r);
    addStop(body, 0, {1, 1, 1});
    addStop(body, 0.55, {0.93, 0.93, 0.93});
    addStop(body, 1, {0.68, 0.68, 0.68});
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    cairo_arc(cr, cx, cy, r - 1, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.9);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    c.restore();
}

void ornament(Canvas& c) {
    cairo_t* cr = c.cr();
    c.clipRegion(0.75, 0, 1, 0.25);
    const double cx = c.x(0.875), cy = c.y(0.125), r = 58;
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_pattern_t* disc = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
    addStop(disc, 0, kMist);
    addStop(disc, 0.55, kSky);
    addStop(disc, 0.86, kTeal);
    addStop(disc, 1, kDeepBlue);
    cairo_set_source(cr, disc);
    cairo_fill(cr);
    cairo_pattern_destroy(disc);
    // Eight petals and eight smaller ones between them; their turn shows the motion.
    for (int k = 0; k < 16; ++k) {
        const bool big = k % 2 == 0;
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_rotate(cr, k * M_PI / 8 + (big ? 0 : 0.08));
        const double length = big ? 47 : 34, width = big ? 11 : 7;
        cairo_move_to(cr, 8, 0);
        cairo_curve_to(cr, 8 + length * 0.3, -width, 8 + length * 0.75, -width * 0.8, 8 + length,
                       0);
        cairo_curve_to(cr, 8 + length * 0.75, width * 0.5, 8 + length * 0.3, width * 0.7, 8, 0);
        cairo_restore(cr);
        setColour(cr, big ? kSeafoam : kLavender, 0.9);
        cairo_fill_preserve(cr);
        setColour(cr, kMist, 0.7);
        cairo_set_line_width(cr, 1.2);
        cairo_stroke(cr);
    }
    cairo_arc(cr, cx, cy, 11, 0, 2 * M_PI);
    cairo_pattern_t* heart = cairo_pattern_create_radial(cx - 3, cy - 3, 1, cx, cy, 11);
    addStop(heart, 0, hex(0xFFF4E2));
    addStop(heart, 1, kSand);
    cairo_set_source(cr, heart);
    cairo_fill(cr);
    cairo_pattern_destroy(heart);
    cairo_arc(cr, cx, cy, r - 2.5, 0, 2 * M_PI);
    setColour(cr, kMist, 0.8);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, r - 0.75, 0, 2 * M_PI);
    setColour(cr, kDeepBlue, 0.9);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    c.restore();
}

void cornerPlate(Canvas& c) {
    cairo_t* cr = c.cr();
    c.clipRegion(0.25, 0, 0.75, 0.5);
    // Local frame: origin at the screen corner, u inward along s, v inward along t.
    const double ox = c.x(0.25), oy = c.y(0), unit = c.x(0.75) - c.x(0.25);
    auto px = [&](double u) { return ox + u * unit; };
    auto py = [&](double v) { return oy - v * unit; };
    // Where the turning ornament sits on the plate, and its radius.
    const double ou = 0.328, ov = 0.321, orad = 0.33;
    const double radius = 0.93 * unit;
    cairo_move_to(cr, px(0), py(0));
    cairo_arc_negative(cr, px(0), py(0), radius, 0, -M_PI / 2);
    cairo_close_path(cr);
    cairo_pattern_t* body = cairo_pattern_create_radial(px(0), py(0), 0, px(0), py(0), radius);
    addStop(body, 0, {1, 1, 1}, 0.96);
    addStop(body, 0.7, {0.93, 0.93, 0.93}, 0.92);
    addStop(body, 1, {0.80, 0.80, 0.80}, 0.88);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    // Two arcs along the curved edge with a row of beads between them.
    for (double rr : {0.90, 0.78}) {
        cairo_arc_negative(cr, px(0), py(0), rr * unit, 0, -M_PI / 2);
        setColour(cr, {0.55, 0.55, 0.55}, 0.9);
        cairo_set_line_width(cr, rr > 0.85 ? 3 : 2);
        cairo_stroke(cr);
    }
    for (int k = 1; k < 10; ++k) {
        const double a = k * (M_PI / 2) / 10;
        cairo_arc(cr, px(0.84 * std::cos(a)), py(0.84 * std::sin(a)), 5, 0, 2 * M_PI);
        setColour(cr, {1, 1, 1}, 1);
        cairo_fill_preserve(cr);
        setColour(cr, {0.6, 0.6, 0.6}, 0.9);
        cairo_set_line_width(cr, 1.2);
        cairo_stroke(cr);
    }
    // The socket the ornament turns in. The plate lies in front of the ornament, so the
    // socket is a hole: the ornament shows through it untinted.
    cairo_arc(cr, px(ou), py(ov), (orad + 0.02) * unit, 0, 2 * M_PI);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_arc(cr, px(ou), py(ov), (orad + 0.045) * unit, 0, 2 * M_PI);
    setColour(cr, {0.55, 0.55, 0.55}, 0.95);
    cairo_set_line_width(cr, 5);
    cairo_stroke(cr);
    cairo_arc(cr, px(ou), py(ov), (orad + 0.085) * unit, 0, 2 * M_PI);
    setColour(cr, {1, 1, 1}, 0.95);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
    c.restore();
}

void edgeStrip(Canvas& c) {
    cairo_surface_flush(c.surface());
    const int x0 = static_cast<int>(c.x(0.25)), x1 = static_cast<int>(c.x(0.5));
    const int y0 = static_cast<int>(c.y(1)), y1 = static_cast<int>(c.y(0.5));
    for (int y = y0; y < y1; ++y) {
        const double v = (y1 - (y + 0.5)) / (y1 - y0); // 0 at t 0.5, 1 at t 1
        // The rails stop short of the strip's ends, where the turning ornaments lie behind
        // them (the strips are nearer than the ornaments); the corner plates cover the gap.
        const double ends = smooth(0.08, 0.13, v) * smooth(0.92, 0.87, v);
        for (int x = x0; x < x1; ++x) {
            const double u = (x + 0.5 - x0) / (x1 - x0); // 0 at the screen edge
            // Two rounded rails, outside the lane of the phase bar (u 0.09..0.91).
            const double outer = std::exp(-std::pow((u - 0.035) / 0.03, 2));
            const double inner = std::exp(-std::pow((u - 0.955) / 0.028, 2));
            const double rail = std::max(outer, inner);
            const double alpha = smooth(0.12, 0.5, rail) * ends;
            putPixel(c, x, y, 0.70 + 0.30 * rail, alpha);
        }
    }
    cairo_surface_mark_dirty(c.surface());
}

void centrePicture(Canvas& c) {
    cairo_t* cr = c.cr();
    c.clipRegion(0.5, 0.5, 1, 0.999);
    const double cx = c.x(0.75), cy = (c.y(0.999) + c.y(0.5)) / 2;
    const double half = (c.y(0.5) - c.y(0.999)) / 2 - 2;
    // A faint field where the pacer disc grows.
    cairo_arc(cr, cx, cy, half * 0.80, 0, 2 * M_PI);
    cairo_pattern_t* field = cairo_pattern_create_radial(cx, cy, 0, cx, cy, half * 0.80);
    addStop(field, 0, {1, 1, 1}, 0.16);
    addStop(field, 0.8, {1, 1, 1}, 0.22);
    addStop(field, 1, {1, 1, 1}, 0.35);
    cairo_set_source(cr, field);
    cairo_fill(cr);
    cairo_pattern_destroy(field);
    // Twelve lotus petals reaching out to the ring.
    for (int k = 0; k < 12; ++k) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_rotate(cr, k * M_PI / 6);
        const double r0 = half * 0.46, r1 = half * 0.84, w = half * 0.13;
        cairo_move_to(cr, r0, 0);
        cairo_curve_to(cr, r0 + (r1 - r0) * 0.35, -w, r0 + (r1 - r0) * 0.8, -w * 0.7, r1, 0);
        cairo_curve_to(cr, r0 + (r1 - r0) * 0.8, w * 0.7, r0 + (r1 - r0) * 0.35, w, r0, 0);
        cairo_restore(cr);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.42);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.8);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
    }
    // The ring: a rounded tube.
    cairo_arc(cr, cx, cy, half * 0.89, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0.72, 0.72, 0.72, 0.95);
    cairo_set_line_width(cr, half * 0.11);
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, half * 0.895, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.95);
    cairo_set_line_width(cr, half * 0.05);
    cairo_stroke(cr);
    // Small beads just outside the ring.
    for (int k = 0; k < 24; ++k) {
        const double a = k * M_PI / 12 + M_PI / 24;
        cairo_arc(cr, cx + half * 0.975 * std::cos(a), cy + half * 0.975 * std::sin(a), 2.2, 0,
                  2 * M_PI);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.9);
        cairo_fill(cr);
    }
    c.restore();
}

bool makeBar(const std::string& path) {
    Canvas c(512);
    barGlow(c);
    edgeStrip(c);
    beatSquare(c);
    ornament(c);
    cornerPlate(c);
    centrePicture(c);
    // The edge strips end at t = 1, where filtering wraps around to the bottom row (the
    // corner plates' outer edge): that row is kept clear under the strips' columns.
    cairo_t* cr = c.cr();
    cairo_rectangle(cr, c.x(0.25), c.y(0) - 1, c.x(0.5) - c.x(0.25), 1);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    return finish(c, path);
}

// ---------------------------------------------------------------------------------------
// backg.bmp: a light, soft abstract picture, seen through the moving lens and turning
// slowly; light, so that the blue pulse curve, the pacer disc and the tinted frame stand out.
// ---------------------------------------------------------------------------------------

bool makeBackground(const std::string& path) {
    Canvas c(512);
    cairo_t* cr = c.cr();
    const double n = c.size();
    cairo_pattern_t* base = cairo_pattern_create_linear(0, 0, n, n);
    addStop(base, 0, hex(0xE3F2F0));
    addStop(base, 0.45, hex(0xD3E7EF));
    addStop(base, 1, hex(0xE4DEF0));
    cairo_set_source(cr, base);
    cairo_paint(cr);
    cairo_pattern_destroy(base);

    // Large soft colour fields.
    Canvas blobs(512);
    struct Blob {
        double x, y, r;
        Colour colour;
        double alpha;
    };
    const Blob fields[] = {
        {0.22, 0.25, 0.30, kSeafoam, 0.55},  {0.78, 0.20, 0.26, kSand, 0.50},
        {0.70, 0.74, 0.32, kLavender, 0.45}, {0.20, 0.80, 0.24, kPeach, 0.35},
        {0.50, 0.50, 0.22, kSky, 0.55},      {0.95, 0.55, 0.18, kSeafoam, 0.40},
        {0.05, 0.52, 0.16, kSand, 0.35},
    };
    for (const Blob& b : fields) {
        cairo_arc(blobs.cr(), b.x * n, b.y * n, b.r * n, 0, 2 * M_PI);
        setColour(blobs.cr(), b.colour, b.alpha);
        cairo_fill(blobs.cr());
    }
    paintBlurred(cr, blobs.surface(), 70);

    // Gentle flowing lines, like slow breath.
    Canvas waves(512);
    for (int k = 0; k < 9; ++k) {
        const double base0 = n * (0.12 + 0.095 * k);
        for (int i = 0; i <= 128; ++i) {
            const double x = n * i / 128.0;
            const double yy = base0 + 14 * std::sin(x / n * 2 * M_PI * 1.5 + k * 0.7) +
                              7 * std::sin(x / n * 2 * M_PI * 3.1 + k * 1.9);
            if (i == 0)
                cairo_move_to(waves.cr(), x, yy);
            else
                cairo_line_to(waves.cr(), x, yy);
        }
        setColour(waves.cr(), k % 2 ? kMist : kTeal, k % 2 ? 0.7 : 0.22);
        cairo_set_line_width(waves.cr(), k % 2 ? 5 : 3);
        cairo_stroke(waves.cr());
    }
    paintBlurred(cr, waves.surface(), 4);

    // Scattered soft light dots.
    Canvas dots(512);
    for (int k = 0; k < 40; ++k) {
        const double x = std::fmod(k * 0.6180339887 * n + 37, n);
        const double y = std::fmod(k * 0.4142135624 * n * 1.7 + 91, n);
        const double r = 3 + (k * 7 % 11);
        cairo_arc(dots.cr(), x, y, r, 0, 2 * M_PI);
        setColour(dots.cr(), {1, 1, 1}, 0.55);
        cairo_fill(dots.cr());
    }
    paintBlurred(cr, dots.surface(), 6);

    std::vector<std::uint8_t> rgba = c.rgba();
    return writeBmp24(path, rgba, c.size());
}

} // namespace

bool makeImages(const std::string& folder) {
    bool ok = true;
    {
        Canvas menu(512);
        menuBackdrop(menu);
        menuWidgets(menu);
        ok = finish(menu, folder + "/menu.tga") && ok;
    }
    ok = makeFont(folder + "/font.tga") && ok;
    ok = makeBar(folder + "/Bar.tga") && ok;
    ok = makeBackground(folder + "/backg.bmp") && ok;
    return ok;
}

// Reads back what a drawing routine sends to OpenGL (feedback mode) and saves frames as PPM.
#pragma once

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// A vertex as it leaves the pipeline, mapped back to normalised coordinates (the viewport is
// 800 x 600 and the depth range 0..1), with its colour and texture coordinate.
struct FeedbackVertex {
    float x, y, z;
    float r, g, b, a;
    float s, t;
};

// Polygons come back as Mesa decomposes them (triangles); lines as segments, the first
// segment of each strip marked `reset`; bitmaps as their raster position.
struct FeedbackPrimitive {
    enum class Kind { Point, Line, Polygon, Bitmap, Pixels };
    Kind kind;
    bool reset = false;
    std::vector<FeedbackVertex> vertices;
};

inline std::vector<FeedbackPrimitive> captureFeedback(const std::function<void()>& draw,
                                                      std::size_t capacity = 1u << 21) {
    std::vector<GLfloat> buffer(capacity);
    glFeedbackBuffer(static_cast<GLsizei>(capacity), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<FeedbackPrimitive> out;
    if (used < 0) return out; // overflow: the caller sees no primitives and fails
    std::size_t at = 0;
    const auto end = static_cast<std::size_t>(used);
    const auto readVertex = [&]() {
        FeedbackVertex v{};
        v.x = buffer[at] / 400.0f - 1.0f;
        v.y = buffer[at + 1] / 300.0f - 1.0f;
        v.z = buffer[at + 2] * 2.0f - 1.0f;
        v.r = buffer[at + 3];
        v.g = buffer[at + 4];
        v.b = buffer[at + 5];
        v.a = buffer[at + 6];
        v.s = buffer[at + 7];
        v.t = buffer[at + 8];
        at += 11; // x y z, r g b a, s t r q
        return v;
    };
    while (at < end) {
        const auto token = static_cast<GLint>(buffer[at++]);
        FeedbackPrimitive p{FeedbackPrimitive::Kind::Point, false, {}};
        switch (token) {
        case GL_POINT_TOKEN:
            p.vertices.push_back(readVertex());
            break;
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN:
            p.kind = FeedbackPrimitive::Kind::Line;
            p.reset = token == GL_LINE_RESET_TOKEN;
            p.vertices.push_back(readVertex());
            p.vertices.push_back(readVertex());
            break;
        case GL_POLYGON_TOKEN: {
            p.kind = FeedbackPrimitive::Kind::Polygon;
            const auto count = static_cast<int>(buffer[at++]);
            for (int i = 0; i < count; ++i)
                p.vertices.push_back(readVertex());
            break;
        }
        case GL_BITMAP_TOKEN:
            p.kind = FeedbackPrimitive::Kind::Bitmap;
            p.vertices.push_back(readVertex());
            break;
        case GL_DRAW_PIXEL_TOKEN:
        case GL_COPY_PIXEL_TOKEN:
            p.kind = FeedbackPrimitive::Kind::Pixels;
            p.vertices.push_back(readVertex());
            break;
        case GL_PASS_THROUGH_TOKEN:
            at += 1;
            continue;
        default:
            return out; // unknown token: stop rather than misread
        }
        out.push_back(std::move(p));
    }
    return out;
}

// Writes the back buffer (800 x 600) as a binary PPM, top row first; false on failure.
inline bool saveFramePpm(const std::string& path) {
    std::vector<unsigned char> rgb(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fprintf(file, "P6\n800 600\n255\n");
    for (int row = 599; row >= 0; --row)
        std::fwrite(rgb.data() + static_cast<std::size_t>(row) * 800 * 3, 1, 800 * 3, file);
    return std::fclose(file) == 0;
}

// A glyph of textured text as the feedback shows it: its quad's left edge, vertical centre,
// colour, and the byte read back from the atlas cell (16 x 16 cells, row 0 at the top).
struct FeedbackGlyph {
    float left, centreY;
    FeedbackVertex colour;
    unsigned char byte;
};

// The glyphs among `prims` (quads at the text depth -0.005, two triangles each), in order.
inline std::vector<FeedbackGlyph> feedbackGlyphs(const std::vector<FeedbackPrimitive>& prims) {
    std::vector<FeedbackGlyph> out;
    bool second = false;
    for (const auto& p : prims) {
        if (p.kind != FeedbackPrimitive::Kind::Polygon || p.vertices.size() != 3) continue;
        if (p.vertices[0].z < -0.0051f || p.vertices[0].z > -0.0049f) continue;
        second = !second;
        if (!second) continue; // both triangles of a quad span the whole quad
        float minX = 9, minY = 9, maxY = -9, minS = 9, maxT = -9;
        for (const auto& v : p.vertices) {
            minX = std::min(minX, v.x);
            minY = std::min(minY, v.y);
            maxY = std::max(maxY, v.y);
            minS = std::min(minS, v.s);
            maxT = std::max(maxT, v.t);
        }
        const int column = static_cast<int>(minS * 16.0f + 0.5f);
        const int row = 16 - static_cast<int>(maxT * 16.0f + 0.5f);
        out.push_back({minX, (minY + maxY) / 2, p.vertices[0],
                       static_cast<unsigned char>(row * 16 + column)});
    }
    return out;
}

// The bytes of the glyphs whose centre line is within 0.01 of `centreY`.
inline std::string glyphTextAt(const std::vector<FeedbackGlyph>& glyphs, float centreY) {
    std::string text;
    for (const auto& g : glyphs)
        if (g.centreY > centreY - 0.01f && g.centreY < centreY + 0.01f)
            text.push_back(static_cast<char>(g.byte));
    return text;
}

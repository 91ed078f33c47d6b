// Glyph text quads read back through feedback, and the bitmap font's lists and pixels.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "gl_feedback.hpp"
#include "gui/gui.hpp"
#include "platform/cp1251.hpp"
#include "render/text.hpp"
#include "support/test_support.hpp"

namespace {

// One glyph quad as it comes back: its extent and texture rectangle (Mesa hands each quad
// back as two triangles).
struct Quad {
    float left = 9, right = -9, bottom = 9, top = -9, z = 0;
    float leftS = 9, rightS = -9, bottomT = 9, topT = -9;
};

std::vector<Quad> glyphQuads(const std::function<void()>& draw) {
    const auto prims = captureFeedback(draw);
    std::vector<Quad> quads;
    for (std::size_t i = 0; i + 1 < prims.size(); i += 2) {
        Quad q;
        for (const auto* p : {&prims[i], &prims[i + 1]}) {
            EXPECT_EQ(p->kind, FeedbackPrimitive::Kind::Polygon);
            for (const auto& v : p->vertices) {
                q.left = std::min(q.left, v.x);
                q.right = std::max(q.right, v.x);
                q.bottom = std::min(q.bottom, v.y);
                q.top = std::max(q.top, v.y);
                q.leftS = std::min(q.leftS, v.s);
                q.rightS = std::max(q.rightS, v.s);
                q.bottomT = std::min(q.bottomT, v.t);
                q.topT = std::max(q.topT, v.t);
                q.z = v.z;
            }
        }
        quads.push_back(q);
    }
    return quads;
}

constexpr float kPixel = 1e-4f; // far below a pixel (0.0025 in x)

class TextOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(gl_.ok());
        glEnable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 1);
    }
    OffscreenGl gl_;
    CapturedMessageBoxes boxes_; // the build folder has no img/ to load
    Gui gui_;
};

} // namespace

TEST_F(TextOutput, GlyphQuadsOverlapByAThirdAndCutTheirCells) {
    const auto quads = glyphQuads([&] { gui_.drawText(0, 0, 0.07f, "AB"); });
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_NEAR(quads[0].left, 0, kPixel);
    EXPECT_NEAR(quads[0].right, 0.07f, kPixel);
    EXPECT_NEAR(quads[1].left, 0.07 / 1.5, kPixel);
    EXPECT_NEAR(quads[1].right, 0.07 / 1.5 + 0.07, kPixel);
    for (const Quad& q : quads) {
        EXPECT_NEAR(q.bottom, -0.07 / 1.5, kPixel);
        EXPECT_NEAR(q.top, 0.07 / 1.5, kPixel);
        EXPECT_NEAR(q.z, -0.005f, 1e-6f);
    }
    // "A" is 0x41: column 1, row 4 from the top.
    EXPECT_FLOAT_EQ(quads[0].leftS, 0.0625f);
    EXPECT_FLOAT_EQ(quads[0].rightS, 0.125f);
    EXPECT_FLOAT_EQ(quads[0].bottomT, 0.6875f);
    EXPECT_FLOAT_EQ(quads[0].topT, 0.75f);
    EXPECT_FLOAT_EQ(quads[1].leftS, 0.125f);
}

TEST_F(TextOutput, CyrillicCellsAndTheSpace) {
    const auto quads = glyphQuads([&] { gui_.drawText(-0.5f, 0.2f, 0.1f, "А я"_cp1251v); });
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_FLOAT_EQ(quads[0].leftS, 0);
    EXPECT_FLOAT_EQ(quads[0].rightS, 0.0625f);
    EXPECT_FLOAT_EQ(quads[0].bottomT, 0.1875f);
    EXPECT_FLOAT_EQ(quads[0].topT, 0.25f);
    // The space draws its own cell, column 0 of row 2, and the pen still advances.
    EXPECT_FLOAT_EQ(quads[1].leftS, 0);
    EXPECT_FLOAT_EQ(quads[1].bottomT, 0.8125f);
    EXPECT_NEAR(quads[1].left, -0.5 + 0.1 / 1.5, kPixel);
    EXPECT_FLOAT_EQ(quads[2].leftS, 0.9375f);
    EXPECT_FLOAT_EQ(quads[2].rightS, 1);
    EXPECT_FLOAT_EQ(quads[2].bottomT, 0);
    EXPECT_FLOAT_EQ(quads[2].topT, 0.0625f);
    EXPECT_NEAR(quads[2].left, -0.5 + 2 * 0.1 / 1.5, kPixel);
    EXPECT_NEAR(quads[2].bottom, 0.2 - 0.1 / 1.5, kPixel);
}

TEST_F(TextOutput, EmptyTextDrawsNothingButBindsTheAtlas) {
    glBindTexture(GL_TEXTURE_2D, 2);
    const auto quads = glyphQuads([&] { gui_.drawText(0, 0, 0.07f, ""); });
    EXPECT_TRUE(quads.empty());
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, gui_.fontTexture);
}

TEST_F(TextOutput, BitmapFontHasAListPerCodeButTheLast) {
    createBitmapFont();
    EXPECT_TRUE(glIsList(1000));
    EXPECT_TRUE(glIsList(1000 + 0xFE));
    EXPECT_FALSE(glIsList(1000 + 0xFF));
}

TEST_F(TextOutput, BitmapTextIsRedAtItsRasterPositionAndAdvances) {
    createBitmapFont();
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const std::string_view text = "Поправьте датчики!!!"_cp1251v;
    ASSERT_EQ(text.size(), 20u);
    glColor4f(1, 0, 0, 1);
    drawBitmapText(-0.6, 0.3, -0.2, text.size(), text.data());
    GLboolean texturing = GL_TRUE;
    glGetBooleanv(GL_TEXTURE_2D, &texturing);
    EXPECT_FALSE(texturing);

    // The raster position is pixel (160, 210 from the top), on the base line; the "П" stands
    // on it, so red shows just above and to the right.
    int red = 0, other = 0, leftOfStart = 0;
    for (int y = 150; y < 230; ++y) {
        for (int x = 140; x < 800; x += 1) {
            const Rgba p = readPixel(x, y);
            if (p.r > 200 && p.g == 0 && p.b == 0) {
                ++red;
                if (x < 158) ++leftOfStart;
            } else if (p.r || p.g || p.b) {
                ++other;
            }
        }
    }
    EXPECT_GT(red, 200);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(leftOfStart, 0);
    bool stemOfP = false;
    for (int y = 195; y < 208; ++y)
        for (int x = 160; x < 175; ++x)
            stemOfP = stemOfP || readPixel(x, y).r > 200;
    EXPECT_TRUE(stemOfP);

    // Every byte calls its list: one bitmap each, the pen moving right, never back.
    const auto prims =
        captureFeedback([&] { drawBitmapText(-0.6, 0.3, -0.2, text.size(), text.data()); });
    ASSERT_EQ(prims.size(), 20u);
    EXPECT_NEAR(prims[0].vertices[0].x, -0.6f, 1e-4f);
    EXPECT_NEAR(prims[0].vertices[0].y, 0.3f, 1e-4f);
    for (std::size_t i = 1; i < prims.size(); ++i) {
        EXPECT_EQ(prims[i].kind, FeedbackPrimitive::Kind::Bitmap);
        EXPECT_GT(prims[i].vertices[0].x, prims[i - 1].vertices[0].x) << i;
        EXPECT_FLOAT_EQ(prims[i].vertices[0].y, prims[0].vertices[0].y);
    }
    EXPECT_FLOAT_EQ(prims[0].vertices[0].r, 1);
    EXPECT_FLOAT_EQ(prims[0].vertices[0].g, 0);
}

// Bitmap text is sized in pixels: with the picture drawn 1.8 times its size the font follows,
// so the longest warning line keeps its share of the picture and still fits in it.
TEST_F(TextOutput, BitmapFontScalesWithThePicture) {
    const std::string_view text = "Дождитесь готовности датчиков"_cp1251v;
    auto advance = [&] {
        glRasterPos3d(-0.95, -0.3, -0.2);
        glListBase(kBitmapFontListBase);
        glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
        GLdouble position[4] = {};
        glGetDoublev(GL_CURRENT_RASTER_POSITION, position);
        return position[0] - 20.0; // pixels from the line's start at x = -0.95 of 800
    };
    createBitmapFont();
    const double plain = advance();
    scaleBitmapFont(1.8);
    const double scaled = advance();
    scaleBitmapFont(1.0);
    EXPECT_NEAR(scaled / plain, 1.8, 0.08);
    EXPECT_LT(20.0 + plain, 800.0); // the line fits the picture at every scale
    EXPECT_NEAR(advance(), plain, 0.5);
}

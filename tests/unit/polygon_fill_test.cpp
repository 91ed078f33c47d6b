// A round shape in a few large triangles covers the pixels GL_POLYGON's fan covers, each once.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/polygon_fill.hpp"
#include "support/test_support.hpp"

namespace {

class PolygonFillTest : public SharedGlTest {
protected:
    void SetUp() override { ASSERT_TRUE(contextOk()); }

    // Half-transparent over white, so a pixel covered twice or missed shows.
    static std::vector<unsigned char> picture(const std::vector<Corner3>& corners, bool asFan) {
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4f(0.9f, 0.1f, 0.01f, 0.5f);
        if (asFan) {
            glBegin(GL_POLYGON);
            for (const Corner3& c : corners) glVertex3f(c.x, c.y, c.z);
            glEnd();
        } else {
            fillPolygon(corners);
        }
        std::vector<unsigned char> pixels(800 * 600 * 4);
        glFinish();
        glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glDisable(GL_BLEND);
        return pixels;
    }
};

// The cycle dials' sectors (centre first, then the arc) up to a whole turn, and the pacer's
// disc (its rim alone) from the smallest to the largest, off the pixel grid's symmetry.
TEST_F(PolygonFillTest, SameCoverageAsTheFan) {
    for (const float sweep : {0.2f, 1.6f, 1.7f, 3.2f, 4.9f, 6.2831855f}) {
        std::vector<Corner3> sector{{0.4f, 0.2f, 0.0f}};
        for (float a = 0.0f; a < sweep; a += 0.05f)
            sector.push_back({0.4f + 0.1875f * std::sin(a), 0.2f + 0.25f * std::cos(a), 0.0f});
        EXPECT_EQ(picture(sector, true), picture(sector, false)) << "sector of " << sweep;
    }
    for (const float radius : {0.01f, 0.037f, 0.19f, 0.9f}) {
        std::vector<Corner3> disc;
        for (float a = 0.0f; a < 6.2831855f; a += 0.05f)
            disc.push_back({0.75f * radius * std::sin(a), 0.2f + radius * std::cos(a), 0.0f});
        EXPECT_EQ(picture(disc, true), picture(disc, false)) << "disc of radius " << radius;
    }
}

} // namespace

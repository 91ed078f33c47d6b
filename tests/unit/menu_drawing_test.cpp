// The menu screen: frame zoom, widget fades and colours, quad geometry and the drawn picture.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "app/frame_advance.hpp"
#include "gui/gui.hpp"
#include "gui/menu_animation.hpp"
#include "gui/menu_layout.hpp"
#include "platform/cp1251.hpp"
#include "platform/ticks.hpp"
#include "render/menu_picture.hpp"
#include "render/viewport.hpp"
#include "support/test_support.hpp"

namespace {

// One vertex as feedback mode reports it: window coordinates, colour and texture coordinate.
struct FeedbackVertex {
    float x, y, z;
    float r, g, b, a;
    float s, t;
};
using Polygon = std::vector<FeedbackVertex>;

// Runs `draw` in feedback mode and returns every polygon it would have rasterised.
std::vector<Polygon> capturePolygons(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 18);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0) << "feedback buffer overflowed";

    std::vector<Polygon> polygons;
    constexpr int kFloatsPerVertex = 11; // x y z, r g b a, s t r q
    auto vertexAt = [&](int i) {
        return FeedbackVertex{buffer[i],     buffer[i + 1], buffer[i + 2], buffer[i + 3],
                              buffer[i + 4], buffer[i + 5], buffer[i + 6], buffer[i + 7],
                              buffer[i + 8]};
    };
    for (int i = 0; i < used;) {
        const auto token = static_cast<GLenum>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const int count = static_cast<int>(buffer[i++]);
            Polygon p;
            for (int k = 0; k < count; ++k, i += kFloatsPerVertex) p.push_back(vertexAt(i));
            polygons.push_back(p);
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 2 * kFloatsPerVertex;
        } else {
            i += kFloatsPerVertex; // points, bitmaps and pixel rectangles carry one vertex
        }
    }
    return polygons;
}

// Window depth of an object-space z under the identity projection and the default range.
float windowDepth(float z) { return (z + 1.0f) / 2.0f; }

struct Box {
    float left = 1e9f, bottom = 1e9f, right = -1e9f, top = -1e9f;
    float sMin = 1e9f, sMax = -1e9f, tMin = 1e9f, tMax = -1e9f;
    int vertices = 0;
};

// The bounding box of every vertex at depth z (quads may arrive split into triangles).
Box boxAtDepth(const std::vector<Polygon>& polygons, float z) {
    Box box;
    for (const Polygon& p : polygons)
        for (const FeedbackVertex& v : p)
            if (std::abs(v.z - windowDepth(z)) < 2e-4f) {
                box.left = std::min(box.left, v.x);
                box.right = std::max(box.right, v.x);
                box.bottom = std::min(box.bottom, v.y);
                box.top = std::max(box.top, v.y);
                box.sMin = std::min(box.sMin, v.s);
                box.sMax = std::max(box.sMax, v.s);
                box.tMin = std::min(box.tMin, v.t);
                box.tMax = std::max(box.tMax, v.t);
                ++box.vertices;
            }
    return box;
}

// Menu-local x and y to window pixels for a frame at full size (0.9 by 0.8).
float pixelX(float lx) { return (lx * 0.9f + 1.0f) * 400.0f; }
float pixelY(float ly) { return (ly * 0.8f + 1.0f) * 300.0f; }

constexpr float kWidgetZ = -0.001f;
constexpr float kCaptionZ = -0.005f;

// One menu frame of `g` as the program runs it: advanced, then drawn over the whole window.
void menuFrame(Gui& g) {
    const MenuStep step = advanceMenu(g);
    g.drawMenu(step.look, Viewport{});
}

MenuItem makeMenuItem(float x, float y, float halfWidth, float halfHeight) {
    MenuItem m{};
    m.x = x;
    m.y = y;
    m.halfWidth = halfWidth;
    m.halfHeight = halfHeight;
    m.visible = 1;
    m.caption = "Старт"_cp1251;
    return m;
}

ListButton makeRow(float x, float y) {
    ListButton r{};
    r.x = x;
    r.y = y;
    r.halfWidth = 0.15f;
    r.halfHeight = 0.05f;
    r.visible = 1;
    r.caption = "Новичок          "_cp1251;
    return r;
}

SmallButton makeSmallButton(float x, float y) {
    SmallButton b{};
    b.x = x;
    b.y = y;
    b.halfWidth = 0.1f;
    b.halfHeight = 0.05f;
    b.checkedRed = 1.0f;
    b.visible = 1;
    b.caption = "+ "_cp1251;
    return b;
}

Panel makePanel(float x, float y, const char* title) {
    Panel p{};
    p.x = x;
    p.y = y;
    p.halfWidth = 0.35f;
    p.halfHeight = 0.12f;
    p.visible = 1;
    p.title = title;
    return p;
}

// The hover look of a menu entry: dark red, grown by a tenth, fading over twenty frames.
void giveHoverLook(MenuItem& m) {
    m.growX = m.growY = 0.1f;
    m.fadeDivisor = 20;
    m.red = 0.2f;
    m.green = m.blue = 0.1f;
    m.alpha = 0.7f;
}

class MenuDrawing : public ::testing::Test {
protected:
    MenuDrawing() {
        glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
        glDepthFunc(GL_LESS);
        glEnable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
    }
    ~MenuDrawing() override { clearTickOverride(); }

    // Skips the opening zoom: at the target the frame is not eased any more.
    void openFully() {
        g.menuScaleX = g.menuTargetScaleX;
        g.menuScaleY = g.menuTargetScaleY;
    }

    CapturedMessageBoxes boxes; // missing images are reported, not shown
    OffscreenGl gl;
    Gui g;
};

TEST_F(MenuDrawing, FrameOpensATwentiethOfTheRemainingWayPerFrame) {
    ASSERT_TRUE(gl.ok());
    const float expectedX[] = {0.045f, 0.08775f, 0.1283625f};
    const float expectedY[] = {0.04f, 0.078f, 0.1141f};
    for (int k = 0; k < 3; ++k) {
        menuFrame(g);
        EXPECT_NEAR(g.menuScaleX, expectedX[k], 1e-6f) << "frame " << k + 1;
        EXPECT_NEAR(g.menuScaleY, expectedY[k], 1e-6f) << "frame " << k + 1;
    }
    for (int k = 0; k < 400; ++k) menuFrame(g);
    EXPECT_NEAR(g.menuScaleX, 0.9f, 1e-5f);
    EXPECT_NEAR(g.menuScaleY, 0.8f, 1e-5f);
    EXPECT_LE(g.menuScaleX, 0.9f);
    EXPECT_LE(g.menuScaleY, 0.8f);
}

TEST_F(MenuDrawing, NothingDrawnOrAnimatedWhileTrainingRuns) {
    ASSERT_TRUE(gl.ok());
    MenuItem item = makeMenuItem(0.0f, 0.2f, 0.3f, 0.07f);
    giveHoverLook(item);
    gui = Gui();
    gui.menuItems.push_back(item);
    gui.session.lastBeatTick = 77;
    setTickOverride(5000);
    gui.inMenu = 0;

    const Frame frame = advanceFrame().frame;

    EXPECT_FALSE(frame.menuShown);
    EXPECT_TRUE(frame.menu.widgets.empty());
    EXPECT_EQ(gui.menuScaleX, 0.0f);
    EXPECT_EQ(gui.menuScaleY, 0.0f);
    EXPECT_EQ(gui.menuItems[0].growX, 0.1f);
    EXPECT_EQ(gui.menuItems[0].red, 0.2f);
    EXPECT_EQ(gui.session.lastBeatTick, 77u);
    gui = Gui();
}

TEST_F(MenuDrawing, BeatClockFollowsTheTickOfEveryMenuFrame) {
    ASSERT_TRUE(gl.ok());
    gui = Gui();
    setTickOverride(1234);
    advanceFrame();
    EXPECT_EQ(gui.session.lastBeatTick, 1234u);
    setTickOverride(0xFFFFFFF0u); // the tick wraps like the system's
    advanceFrame();
    EXPECT_EQ(gui.session.lastBeatTick, 0xFFFFFFF0u);
}

TEST_F(MenuDrawing, HighlightFadesOnlyOnceThePointerHasLeft) {
    ASSERT_TRUE(gl.ok());
    openFully();
    MenuItem item = makeMenuItem(0.0f, 0.2f, 0.3f, 0.07f);
    giveHoverLook(item);
    item.hovered = 1;
    g.menuItems.push_back(item);
    g.menuItems.push_back(makeMenuItem(0.0f, -0.2f, 0.3f, 0.07f)); // as created: n = 1

    for (int k = 0; k < 3; ++k) menuFrame(g);
    const MenuItem& hovered = g.menuItems[0];
    EXPECT_EQ(hovered.growX, 0.1f);
    EXPECT_EQ(hovered.red, 0.2f);

    g.menuItems[0].hovered = 0;
    menuFrame(g);
    const MenuItem& fading = g.menuItems[0];
    EXPECT_NEAR(fading.growX, 0.095f, 1e-6f);
    EXPECT_NEAR(fading.growY, 0.095f, 1e-6f);
    EXPECT_NEAR(fading.red, 0.99f, 1e-6f);
    EXPECT_NEAR(fading.green, 0.995f, 1e-6f);
    EXPECT_NEAR(fading.blue, 0.995f, 1e-6f);
    EXPECT_EQ(fading.alpha, 0.7f);

    // 1 - c/n overshoots and settles at n/(n + 1), not at white.
    menuFrame(g);
    EXPECT_NEAR(g.menuItems[0].red, 0.9505f, 1e-6f);
    menuFrame(g);
    EXPECT_NEAR(g.menuItems[0].red, 0.952475f, 1e-6f);
    for (int k = 0; k < 50; ++k) menuFrame(g);
    EXPECT_NEAR(g.menuItems[0].red, 20.0f / 21.0f, 1e-5f);

    // The creation values with n = 1 stay put: grey 0.5 maps onto itself.
    EXPECT_EQ(g.menuItems[1].red, 0.5f);
    EXPECT_EQ(g.menuItems[1].growX, 0.0f);
    EXPECT_EQ(g.menuItems[1].alpha, 0.7f);
}

TEST_F(MenuDrawing, CheckedSmallButtonShowsItsCheckedColourWhileItsOwnColourFades) {
    ASSERT_TRUE(gl.ok());
    openFully();
    SmallButton button = makeSmallButton(0.0f, 0.0f);
    button.raised = 0;
    button.red = 0.2f;
    button.green = button.blue = 0.1f;
    button.fadeDivisor = 20;
    g.smallButtons.push_back(button);

    const Box quad = boxAtDepth(capturePolygons([&] { menuFrame(g); }), kWidgetZ);
    ASSERT_GT(quad.vertices, 0);
    forgetMenuPicture(); // the widgets themselves, not the kept picture under their repair
    const auto polygons = capturePolygons([&] { menuFrame(g); });
    bool sawChecked = false;
    for (const Polygon& p : polygons)
        for (const FeedbackVertex& v : p)
            if (std::abs(v.z - windowDepth(kWidgetZ)) < 2e-4f) {
                EXPECT_NEAR(v.r, 1.0f, 1e-3f);
                EXPECT_NEAR(v.g, 0.0f, 1e-3f);
                EXPECT_NEAR(v.b, 0.0f, 1e-3f);
                EXPECT_NEAR(v.a, 0.7f, 1e-3f);
                sawChecked = true;
            }
    EXPECT_TRUE(sawChecked);
    EXPECT_NEAR(g.smallButtons[0].red, 0.9505f, 1e-6f); // faded twice behind the checked look
    EXPECT_EQ(g.smallButtons[0].checkedRed, 1.0f);
    // The skin of a small button is the right half of the bottom strip.
    EXPECT_NEAR(quad.sMin, 0.5f, 1e-6f);
    EXPECT_NEAR(quad.sMax, 1.0f, 1e-6f);
    EXPECT_NEAR(quad.tMin, 0.005f, 1e-6f);
    EXPECT_NEAR(quad.tMax, 0.114f, 1e-6f);
}

TEST_F(MenuDrawing, SelectedRowReturnsToItsSelectedColourTheFrameAfterAHover) {
    ASSERT_TRUE(gl.ok());
    openFully();
    ListButton row = makeRow(0.3f, 0.5f);
    row.selected = 1;
    row.selectedRed = 1.0f;
    row.selectedGreen = 0.3f;
    row.selectedBlue = 0.31f;
    row.red = 0.2f; // the hover look, still hovered
    row.green = row.blue = 0.1f;
    row.fadeDivisor = 20;
    row.hovered = 1;
    g.listButtons.push_back(row);

    auto drawnRed = [&] {
        const auto polygons = capturePolygons([&] { menuFrame(g); });
        for (const Polygon& p : polygons)
            for (const FeedbackVertex& v : p)
                if (std::abs(v.z - windowDepth(kWidgetZ)) < 2e-4f) return v.r;
        return -1.0f;
    };
    EXPECT_NEAR(drawnRed(), 0.2f, 1e-3f); // the frame right after the hover pass
    EXPECT_EQ(g.listButtons[0].red, 1.0f);
    EXPECT_EQ(g.listButtons[0].green, 0.3f);
    EXPECT_EQ(g.listButtons[0].blue, 0.31f);
    EXPECT_NEAR(drawnRed(), 1.0f, 1e-3f);

    // An unselected row simply fades.
    g.listButtons[0].selected = 0;
    g.listButtons[0].hovered = 0;
    menuFrame(g);
    EXPECT_NEAR(g.listButtons[0].green, 1.0f - 0.3f / 20.0f, 1e-6f);
}

TEST_F(MenuDrawing, InvisibleWidgetsAreNeitherDrawnNorAnimated) {
    ASSERT_TRUE(gl.ok());
    openFully();
    MenuItem item = makeMenuItem(0.0f, 0.2f, 0.3f, 0.07f);
    giveHoverLook(item);
    item.visible = 0;
    g.menuItems.push_back(item);
    ListButton row = makeRow(0.3f, 0.5f);
    row.red = 0.2f;
    row.fadeDivisor = 20;
    row.selected = 1;
    row.visible = 0;
    g.listButtons.push_back(row);
    SmallButton button = makeSmallButton(0.0f, 0.0f);
    button.growX = 0.05f;
    button.fadeDivisor = 20;
    button.visible = 0;
    g.smallButtons.push_back(button);
    Panel panel = makePanel(0.3f, 0.7f, "Громкость"_cp1251);
    panel.visible = 0;
    g.panels.push_back(panel);

    for (int k = 0; k < 5; ++k) menuFrame(g);
    forgetMenuPicture(); // the widgets themselves, not the kept picture of the still menu
    const auto polygons = capturePolygons([&] { menuFrame(g); });
    EXPECT_EQ(boxAtDepth(polygons, kWidgetZ).vertices, 0);
    EXPECT_EQ(boxAtDepth(polygons, kCaptionZ).vertices, 0);
    EXPECT_EQ(g.menuItems[0].growX, 0.1f);
    EXPECT_EQ(g.menuItems[0].red, 0.2f);
    EXPECT_EQ(g.listButtons[0].red, 0.2f);
    EXPECT_EQ(g.smallButtons[0].growX, 0.05f);

    // Shown again, it picks up the fade where it was frozen.
    g.menuItems[0].visible = 1;
    menuFrame(g);
    EXPECT_NEAR(g.menuItems[0].growX, 0.095f, 1e-6f);
}

TEST_F(MenuDrawing, MenuItemQuadCoversItsGrownRectangleInTheFrame) {
    ASSERT_TRUE(gl.ok());
    openFully();
    MenuItem item = makeMenuItem(0.0f, 0.2f, 0.3f, 0.07f);
    giveHoverLook(item);
    g.menuItems.push_back(item);

    const auto polygons = capturePolygons([&] { menuFrame(g); });

    // Local -0.33..0.33 by 0.123..0.277, scaled by the frame into the window.
    const Box quad = boxAtDepth(polygons, kWidgetZ);
    ASSERT_GT(quad.vertices, 0);
    EXPECT_NEAR(quad.left, pixelX(-0.33f), 0.01f);
    EXPECT_NEAR(quad.right, pixelX(0.33f), 0.01f);
    EXPECT_NEAR(quad.bottom, pixelY(0.123f), 0.01f);
    EXPECT_NEAR(quad.top, pixelY(0.277f), 0.01f);
    EXPECT_NEAR(quad.sMin, 0.0f, 1e-6f);
    EXPECT_NEAR(quad.sMax, 0.5f, 1e-6f);
    EXPECT_NEAR(quad.tMin, 0.0015f, 1e-6f);
    EXPECT_NEAR(quad.tMax, 0.114f, 1e-6f);

    // The backdrop fills the frame from the top part of the skin.
    const Box backdrop = boxAtDepth(polygons, 0.0f);
    EXPECT_NEAR(backdrop.left, 40.0f, 0.01f);
    EXPECT_NEAR(backdrop.right, 760.0f, 0.01f);
    EXPECT_NEAR(backdrop.bottom, 60.0f, 0.01f);
    EXPECT_NEAR(backdrop.top, 540.0f, 0.01f);
    EXPECT_NEAR(backdrop.tMin, 0.26f, 1e-6f);

    // "Старт" has 5 bytes: it starts two byte pairs (2 x 0.0525) left of the centre.
    const Box caption = boxAtDepth(polygons, kCaptionZ);
    ASSERT_GT(caption.vertices, 0);
    EXPECT_NEAR(caption.left, pixelX(-0.105f), 0.01f);
}

TEST_F(MenuDrawing, PanelTitleAndStatusStartAtTheTitlesLeftEdge) {
    ASSERT_TRUE(gl.ok());
    openFully();
    // A 9-byte title; the longer status line still starts where the title does.
    Panel panel = makePanel(0.3f, 0.7f, "Громкость"_cp1251);
    panel.status = "   50% and more";
    panel.statusRed = 0.25;
    panel.statusGreen = 0.5;
    panel.statusBlue = 0.75;
    panel.statusAlpha = 1.0;
    g.panels.push_back(panel);

    const auto polygons = capturePolygons([&] { menuFrame(g); });

    const Box frame = boxAtDepth(polygons, kWidgetZ);
    EXPECT_NEAR(frame.left, pixelX(-0.05f), 0.01f);
    EXPECT_NEAR(frame.right, pixelX(0.65f), 0.01f);
    EXPECT_NEAR(frame.sMin, 0.5f, 1e-6f);
    EXPECT_NEAR(frame.tMin, 0.125f, 1e-6f);
    EXPECT_NEAR(frame.tMax, 0.25f, 1e-6f);

    // Glyphs of the title are black; those of the status line take the status colour.
    float titleLeft = 1e9f, statusLeft = 1e9f;
    int titleVertices = 0, statusVertices = 0;
    for (const Polygon& p : polygons)
        for (const FeedbackVertex& v : p) {
            if (std::abs(v.z - windowDepth(kCaptionZ)) >= 2e-4f) continue;
            if (v.r < 0.01f && v.g < 0.01f && v.b < 0.01f && v.a > 0.99f) {
                titleLeft = std::min(titleLeft, v.x);
                ++titleVertices;
                EXPECT_GT(v.y, pixelY(0.7f)); // around y + halfHeight - 0.035
            } else {
                EXPECT_NEAR(v.r, 0.25f, 1e-3f);
                EXPECT_NEAR(v.g, 0.5f, 1e-3f);
                EXPECT_NEAR(v.b, 0.75f, 1e-3f);
                statusLeft = std::min(statusLeft, v.x);
                ++statusVertices;
            }
        }
    ASSERT_GT(titleVertices, 0);
    ASSERT_GT(statusVertices, 0);
    EXPECT_NEAR(titleLeft, pixelX(0.3f - 0.21f), 0.01f);
    EXPECT_NEAR(statusLeft, pixelX(0.3f - 0.21f), 0.01f);
}

TEST_F(MenuDrawing, KindsAreDrawnInTheirOrderAndStateIsRestored) {
    ASSERT_TRUE(gl.ok());
    openFully();
    // Created in the opposite order of drawing; told apart by colour.
    Panel panel = makePanel(0.0f, -0.6f, "");
    panel.red = 0.4f;
    g.panels.push_back(panel);
    ListButton row = makeRow(0.0f, -0.2f);
    row.red = 0.3f;
    g.listButtons.push_back(row);
    SmallButton button = makeSmallButton(0.0f, 0.2f);
    button.red = 0.2f;
    g.smallButtons.push_back(button);
    MenuItem item = makeMenuItem(0.0f, 0.6f, 0.2f, 0.05f);
    item.red = 0.1f;
    g.menuItems.push_back(item);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    std::vector<float> order;
    for (const Polygon& p : capturePolygons([&] { menuFrame(g); }))
        if (!p.empty() && std::abs(p[0].z - windowDepth(kWidgetZ)) < 2e-4f &&
            (order.empty() || std::abs(order.back() - p[0].r) > 1e-3f))
            order.push_back(p[0].r);
    ASSERT_EQ(order.size(), 4u);
    EXPECT_NEAR(order[0], 0.1f, 1e-3f);
    EXPECT_NEAR(order[1], 0.2f, 1e-3f);
    EXPECT_NEAR(order[2], 0.3f, 1e-3f);
    EXPECT_NEAR(order[3], 0.4f, 1e-3f);

    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f);
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
}

// Replaces the skin with opaque white and the glyph atlas with clear texels, so the picture
// shows the widgets' own colours whatever the image folder holds.
void useFlatTextures(const Gui& g) {
    const unsigned char white[4] = {255, 255, 255, 255};
    const unsigned char clear[4] = {255, 255, 255, 0};
    const std::pair<std::int32_t, const unsigned char*> textures[] = {{g.menuTexture, white},
                                                                     {g.fontTexture, clear}};
    for (const auto& [name, texel] : textures) {
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(name));
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
}

void drawFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    menuFrame(gui);
}

// A colour at alpha 0.7 over the white backdrop, as 8-bit channels.
int overWhite(float c) { return static_cast<int>(std::lround((0.7f * c + 0.3f) * 255.0f)); }

TEST(MenuPicture, HoveredEntryAndSelectedRowShowTheirColoursWhereTheyStand) {
    CapturedMessageBoxes boxes;
    ScratchDirectory dir;
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    buildUserInterface(800, 600, nullptr);
    useFlatTextures(gui);
    for (int k = 0; k < 300; ++k) drawFrame(); // the frame is open and the looks have faded

    // The pointer over "Старт" at local (-0.65, 0.8).
    gui.onHover(-0.65f * gui.menuScaleX, 0.8f * gui.menuScaleY);
    ASSERT_EQ(gui.menuItems[0].hovered, 1);
    drawFrame();
    drawFrame();

    const Rgba entry = readPixel(static_cast<int>(pixelX(-0.65f)),
                                 600 - static_cast<int>(pixelY(0.8f)));
    EXPECT_NEAR(entry.r, overWhite(0.2f), 3);
    EXPECT_NEAR(entry.g, overWhite(0.1f), 3);
    EXPECT_NEAR(entry.b, overWhite(0.1f), 3);

    // "Снять стресс" (row 7) is selected at start-up and sits on the goal panel.
    const Rgba selected = readPixel(static_cast<int>(pixelX(0.682f)),
                                    600 - static_cast<int>(pixelY(0.75f)));
    EXPECT_NEAR(selected.r, overWhite(1.0f), 3);
    EXPECT_NEAR(selected.g, overWhite(0.3f), 3);
    EXPECT_NEAR(selected.b, overWhite(0.31f), 3);

    // Its unselected neighbour has faded to its resting light tint.
    const Rgba neighbour = readPixel(static_cast<int>(pixelX(0.686f)),
                                     600 - static_cast<int>(pixelY(0.65f)));
    EXPECT_NEAR(neighbour.g, overWhite(20.0f / 21.0f), 3);
    clearTickOverride();
}

} // namespace

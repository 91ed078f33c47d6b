// The window procedure: keys, pointer mapping, sensor messages, resize and the one shutdown.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <fstream>
#include <string>

#include "app/picture_area.hpp"
#include "app/shell.hpp"
#include "gui/gui.hpp"
#include "platform/events.hpp"
#include "platform/window.hpp"
#include "support/test_support.hpp"

namespace {

Event key(int code) {
    Event e;
    e.kind = Event::Kind::KeyDown;
    e.key = code;
    return e;
}

class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        gui = Gui();
        clearQuit();
    }
    void TearDown() override {
        clearQuit();
        gui = Gui();
    }
};

TEST_F(Shell, PointerCornersMapToTheNormalisedSquare) {
    float x = 0, y = 0;
    pointerToNormalised(0, 0, 800, 600, x, y);
    EXPECT_EQ(x, -1.0f);
    EXPECT_EQ(y, 1.0f);
    pointerToNormalised(799, 599, 800, 600, x, y);
    EXPECT_FLOAT_EQ(x, 0.9975f);
    EXPECT_NEAR(y, -0.99667f, 1e-5);
    // A larger window maps by its own size: the same picture, scaled.
    pointerToNormalised(512, 384, 1024, 768, x, y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
}

TEST_F(Shell, EnterHaltsSpaceRestartsOtherKeysDoNothing) {
    gui.inMenu = 0;
    windowProc(key(kKeyEnter));
    EXPECT_EQ(gui.inMenu, 1);
    windowProc(key(0));
    EXPECT_EQ(gui.inMenu, 1);
    windowProc(key(kKeySpace));
    EXPECT_EQ(gui.inMenu, 0);
    EXPECT_FALSE(quitRequested());
}

TEST_F(Shell, SensorMessagesReachTheDecoder) {
    Event e;
    e.kind = Event::Kind::Sensor;
    e.message = 2024;
    e.wParam = 0x10000;
    e.lParam = 0x490000;
    windowProc(e);
    EXPECT_EQ(gui.sensor.deviceId, 1);
    e.message = 2025; // another message number is not a sensor message
    e.wParam = 0x20000;
    gui.sensor.reset();
    windowProc(e);
    EXPECT_EQ(gui.sensor.deviceId, 0);
}

TEST_F(Shell, EscapeAndCloseShutDownOnceAndWriteTheSettings) {
    ScratchDirectory scratch;
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    setWindowProcedure(windowProc);
    for (int i = 0; i < 5; ++i) gui.addSmallButton(0, 0, 1, 0, 0, 0.1f, 0.1f, 0, "", nullptr, nullptr);
    gui.smallButtons[2].raised = 0;
    windowProc(key(kKeyEscape));
    EXPECT_TRUE(quitRequested());
    EXPECT_TRUE(shutdownDone());
    EXPECT_FALSE(hasCurrentGlContext());
    std::ifstream in("menu.cfg");
    std::string content;
    in >> content;
    EXPECT_EQ(content, "00100000");

    // A second trigger (the close that follows a destroy) does not run it again.
    std::remove("menu.cfg");
    Event close;
    close.kind = Event::Kind::Close;
    windowProc(close);
    EXPECT_FALSE(std::ifstream("menu.cfg").good());
    setWindowProcedure(nullptr);
}

TEST_F(Shell, ResizeWithZeroHeightUsesOne) {
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    Event e;
    e.kind = Event::Kind::Resize;
    e.width = 640;
    e.height = 0;
    windowProc(e);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[3], 1);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
}

// Any window shows the whole picture in its largest centred 4:3 area, with black margins,
// and the pointer is mapped through that area; an 800 x 600 window is left as it was.
TEST_F(Shell, PictureStandsInTheLargestCentredFourByThreeArea) {
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    struct Case {
        int width, height;
        GLint viewport[4]; // x, y from the bottom, width, height
    };
    for (const Case& c : {Case{800, 600, {0, 0, 800, 600}}, Case{1920, 1080, {240, 0, 1440, 1080}},
                          Case{1280, 1024, {0, 32, 1280, 960}}, Case{640, 480, {0, 0, 640, 480}},
                          Case{1000, 500, {166, 0, 667, 500}}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        resizeViewport(c.width, c.height);
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(viewport[i], c.viewport[i]) << i;
        // Scissored exactly where the margins are, so pixel-sized text stays in the picture.
        EXPECT_EQ(glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE,
                  c.viewport[2] != c.width || c.viewport[3] != c.height);
        // The picture's top-left corner and centre map to (-1, 1) and (0, 0).
        const int left = c.viewport[0];
        const int top = c.height - c.viewport[1] - c.viewport[3];
        float x = 0, y = 0;
        pointerToNormalised(left, top, c.width, c.height, x, y);
        EXPECT_FLOAT_EQ(x, -1.0f);
        EXPECT_FLOAT_EQ(y, 1.0f);
        pointerToNormalised(left + c.viewport[2] / 2, top + c.viewport[3] / 2, c.width,
                            c.height, x, y);
        EXPECT_NEAR(x, 0.0f, 2.0f / c.viewport[2]);
        EXPECT_NEAR(y, 0.0f, 2.0f / c.viewport[3]);
        // A click in a margin lands outside the picture, on no widget.
        if (left > 0) {
            pointerToNormalised(left / 2, top, c.width, c.height, x, y);
            EXPECT_LT(x, -1.0f);
        }
    }

    // A frame in a 600 x 600 window: the picture white, the margins above and below black.
    resizeViewport(600, 600);
    glClearColor(1, 1, 1, 0);
    clearPictureMargins(pictureAreaFor(600, 600), 600, 600);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    EXPECT_EQ(readPixel(300, 300).g, 255);
    EXPECT_EQ(readPixel(300, 10).g, 0);
    EXPECT_EQ(readPixel(300, 590).g, 0);
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 1.0f); // the program's clear colour is kept
    resizeViewport(800, 600);
}

} // namespace

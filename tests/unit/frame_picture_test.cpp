// Whole program frames compared with reference pictures: how a frame is drawn may change,
// what it shows may not. HALVENT_WRITE_PICTURES=DIR writes the pictures instead.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/program_frame.hpp"
#include "app/session_flow.hpp"
#include "gui/gui.hpp"
#include "gui/menu_layout.hpp"
#include "platform/ticks.hpp"
#include "platform/window.hpp"
#include "render/menu_picture.hpp"
#include "support/test_support.hpp"

namespace {

constexpr int kWidth = 800, kHeight = 600;

struct Picture {
    std::vector<unsigned char> rgb; // rows from the top
};

Picture readFrame() {
    Picture p;
    std::vector<unsigned char> upsideDown(kWidth * kHeight * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, upsideDown.data());
    p.rgb.resize(upsideDown.size());
    for (int row = 0; row < kHeight; ++row)
        std::copy_n(upsideDown.data() + (kHeight - 1 - row) * kWidth * 3, kWidth * 3,
                    p.rgb.data() + row * kWidth * 3);
    return p;
}

bool writePng(const std::filesystem::path& path, const Picture& p) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, p.rgb.data(), 0, nullptr) != 0;
}

bool readPng(const std::filesystem::path& path, Picture& p) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    if (image.width != kWidth || image.height != kHeight) {
        png_image_free(&image);
        return false;
    }
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr) != 0;
}

// Rounding may move an edge by a pixel or shift a shade by a step or two; anything more
// than a few stray pixels, or a general drift of the colours, is a changed picture.
void expectSamePicture(const std::string& name, const Picture& got) {
    if (const char* dir = std::getenv("HALVENT_WRITE_PICTURES")) {
        EXPECT_TRUE(writePng(std::filesystem::path(dir) / (name + ".png"), got));
        return;
    }
    Picture want;
    ASSERT_TRUE(readPng(sourceDir() / "tests/unit/pictures" / (name + ".png"), want)) << name;
    std::size_t differing = 0;
    double sum = 0;
    for (std::size_t i = 0; i < got.rgb.size(); i += 3) {
        int worst = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const int d = std::abs(int(got.rgb[i + c]) - int(want.rgb[i + c]));
            worst = std::max(worst, d);
            sum += d;
        }
        if (worst > 24) ++differing;
    }
    const double meanDifference = sum / static_cast<double>(got.rgb.size());
    EXPECT_LE(differing, 600u) << name << ": pixels that differ clearly";
    EXPECT_LT(meanDifference, 0.25) << name << ": mean difference per channel";
    if (::testing::Test::HasFailure())
        if (const char* dir = std::getenv("HALVENT_FRAME_DIR"))
            writePng(std::filesystem::path(dir) / (name + "-got.png"), got);
}

class FramePictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok());
        scratch.linkImages();
        setTickOverride(tick);
        buildUserInterface(kWidth, kHeight, mainWindowHandle());
        gui.sensor.breathStatus = 2;
        gui.sensor.pulseStatus = 2;
        for (std::size_t i = 0; i < 5; ++i) gui.smallButtons.at(i).raised = 1; // all shown
    }
    void TearDown() override { clearTickOverride(); }

    // Frames as the program draws them; during a session a beat every 60 frames, with
    // intervals that swing so the pulse graph has a shape.
    void frames(int count) {
        for (int i = 0; i < count; ++i) {
            if (!gui.inMenu && ++sessionFrame % 60 == 0) {
                tick += static_cast<std::uint32_t>(850.0 + 150.0 * std::sin(beats++ / 3.0));
                setTickOverride(tick);
                gui.sensor.pendingBeats.push_back({tick}); // as a decoded pulse rise leaves it
                gui.sensor.pulseIndicator = 1.0f;
            }
            advanceAndDrawFrame();
        }
    }

    std::uint32_t tick = 500000;
    int sessionFrame = 0, beats = 0;
    OffscreenGl context;
    ScratchDirectory scratch;
    CapturedMessageBoxes boxes;
};

TEST_F(FramePictureTest, MenuAndTrainingScreenKeepTheirPictures) {
    frames(12);
    expectSamePicture("menu-zooming", readFrame());
    gui.onHover(-0.1f, 0.3f); // a widget lights up and fades back while the menu settles
    frames(8);
    gui.onHover(0.95f, -0.95f);
    frames(280);
    expectSamePicture("menu-settled", readFrame());

    gui.session.cyclesSetting = 20;
    startSession();
    frames(100); // inhale, the disc growing, the ornaments turned a little
    expectSamePicture("training-inhale", readFrame());
    frames(1200); // some cycles on: bars glowing and spent, dials and graph filled in part
    expectSamePicture("training-later", readFrame());
    gui.pulseIntervalMode = 0;
    for (std::size_t i = 0; i < 3; ++i) gui.smallButtons.at(i).raised = 0; // dials, graph, background
    frames(1);
    expectSamePicture("training-hidden", readFrame());
}

// While widgets light up and fade, a settled menu is drawn again only round them, over its
// kept picture: every such frame must be the frame the whole menu would give.
TEST_F(FramePictureTest, MenuRedrawnRoundChangedWidgetsEqualsTheWholeMenu) {
    frames(300); // the zoom has settled
    const Gui start = gui;
    const auto run = [&](bool whole) {
        gui = start;
        forgetMenuPicture();
        std::vector<Picture> pictures;
        const float hovers[][2] = {{-0.1f, 0.3f}, {0.5f, -0.2f}, {-0.6f, -0.5f}, {0.95f, -0.95f}};
        for (const auto& at : hovers) {
            gui.onHover(at[0], at[1]);
            for (int i = 0; i < 6; ++i) {
                if (whole) forgetMenuPicture();
                frames(1);
                pictures.push_back(readFrame());
            }
        }
        gui.onClick(-0.1f, 0.3f); // another page of the menu
        for (int i = 0; i < 4; ++i) {
            if (whole) forgetMenuPicture();
            frames(1);
            pictures.push_back(readFrame());
        }
        return pictures;
    };
    const std::vector<Picture> repaired = run(false), whole = run(true);
    ASSERT_EQ(repaired.size(), whole.size());
    for (std::size_t i = 0; i < repaired.size(); ++i)
        EXPECT_TRUE(repaired[i].rgb == whole[i].rgb) << "frame " << i;
}

} // namespace

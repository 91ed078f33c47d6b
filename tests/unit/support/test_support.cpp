// Shared test fixtures.
#include "support/test_support.hpp"

#include <GL/gl.h>

#include <cstdlib>
#include <random>

#include "platform/message_box.hpp"
#include "platform/window.hpp"

OffscreenGl::OffscreenGl() {
#ifndef _WIN32
    setenv("SDL_VIDEODRIVER", "offscreen", 0); // Windows has one video system, nothing to pick
#endif
    WindowOptions options;
    options.windowed = true;
    options.hidden = true;
    options.fps = 0;
    ok_ = createMainWindow(options) == WindowResult::Ok;
    if (ok_) {
        glViewport(0, 0, 800, 600);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
    }
}

OffscreenGl::~OffscreenGl() { destroyMainWindow(); }

std::unique_ptr<OffscreenGl> SharedGlTest::context;

Rgba readPixel(int x, int y) {
    unsigned char p[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glReadPixels(x, 599 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}

CapturedMessageBoxes::CapturedMessageBoxes() {
    setMessageBoxCapture(
        [this](const std::string& text, const std::string& caption) { boxes_.emplace_back(text, caption); });
}

CapturedMessageBoxes::~CapturedMessageBoxes() { setMessageBoxCapture(nullptr); }

ScratchDirectory::ScratchDirectory() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("halvent-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
}

void ScratchDirectory::linkImages() const {
    std::error_code ignored; // already there: a second build in the same folder
    std::filesystem::create_directory_symlink(sourceDir() / "img", path_ / "img", ignored);
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path sourceDir() { return HALVENT_SOURCE_DIR; }
std::filesystem::path testdataDir() { return HALVENT_TESTDATA_DIR; }

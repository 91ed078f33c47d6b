// Shared test fixtures: an offscreen OpenGL context, captured message boxes, temp folders.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A hidden 800 x 600 window with a current compatibility context on SDL's offscreen driver
// (a real Mesa llvmpipe context); the viewport covers it and the projection is identity.
class OffscreenGl {
public:
    OffscreenGl();
    ~OffscreenGl();
    OffscreenGl(const OffscreenGl&) = delete;
    OffscreenGl& operator=(const OffscreenGl&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// A fixture whose tests share one offscreen context, made once per test suite.
class SharedGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { context = std::make_unique<OffscreenGl>(); }
    static void TearDownTestSuite() { context.reset(); }
    static bool contextOk() { return context && context->ok(); }

private:
    static std::unique_ptr<OffscreenGl> context;
};

// Reads one pixel of the back buffer (window pixels, y from the top as on screen), RGBA.
struct Rgba {
    int r, g, b, a;
};
Rgba readPixel(int x, int y);

// Captures every message box while alive: (CP1251 text, CP1251 caption) pairs.
class CapturedMessageBoxes {
public:
    CapturedMessageBoxes();
    ~CapturedMessageBoxes();
    const std::vector<std::pair<std::string, std::string>>& boxes() const { return boxes_; }
    void clear() { boxes_.clear(); }

private:
    std::vector<std::pair<std::string, std::string>> boxes_;
};

// A fresh empty folder that becomes the working directory while alive; removed afterwards.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    const std::filesystem::path& path() const { return path_; }
    // Makes its img/ the repository's, as the program finds its pictures and sounds from its
    // working folder.
    void linkImages() const;

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

// The repository's folders, for reading img/ and the external test data.
std::filesystem::path sourceDir();
std::filesystem::path testdataDir();

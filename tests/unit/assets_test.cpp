// The shipped images and sounds: they load through the program's own readers, and their
// regions have the alpha and layout that the drawing relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gui/gui.hpp"
#include "support/test_support.hpp"

namespace {

bool powerOfTwo(unsigned v) {
    return v != 0 && (v & (v - 1)) == 0;
}

// A texel of a 32-bit image by texture coordinates (t = 0 is the first stored row).
const std::uint8_t* texel(const TgaImage& image, double s, double t) {
    const auto x = std::min<unsigned>(image.width - 1u, static_cast<unsigned>(s * image.width));
    const auto y = std::min<unsigned>(image.height - 1u, static_cast<unsigned>(t * image.height));
    return image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * 4;
}

// Fragments with alpha 0.1 or less are cut by the alpha test.
bool shows(const TgaImage& image, double s, double t) {
    return texel(image, s, t)[3] > 26;
}

class Assets : public ::testing::Test {
  protected:
    TgaImage load(const char* name) {
        const std::string path = (sourceDir() / "img" / name).string();
        const TgaImage* image = gui_.loadTga(path.c_str());
        EXPECT_NE(image, nullptr) << name;
        if (!image) return {};
        EXPECT_EQ(image->bitsPerPixel, 32) << name;
        EXPECT_TRUE(powerOfTwo(image->width) && powerOfTwo(image->height)) << name;
        return *image;
    }
    Gui gui_;
};

} // namespace

TEST_F(Assets, GlyphAtlasHoldsEveryLetterInsideItsCell) {
    const TgaImage font = load("font.tga");
    ASSERT_EQ(font.width, font.height);
    const unsigned cell = font.width / 16u;
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned column = b % 16, rowFromTop = b / 16;
        const unsigned x0 = column * cell;
        const unsigned y0 = (15 - rowFromTop) * cell; // stored rows run bottom up
        unsigned ink = 0, white = 0, outside = 0;
        for (unsigned y = y0; y < y0 + cell; ++y) {
            for (unsigned x = x0; x < x0 + cell; ++x) {
                const std::uint8_t* p =
                    font.pixels.data() + (static_cast<std::size_t>(y) * font.width + x) * 4;
                if (p[3] <= 26) continue;
                ++ink;
                if (p[3] > 240 && p[0] > 240 && p[1] > 240 && p[2] > 240) ++white;
                // The pen steps two thirds of a cell: ink beyond the middle two thirds would
                // collide with the neighbours; the cell's edge rows bleed under filtering.
                const unsigned dx = x - x0, dy = y - y0;
                if (dx < cell / 6 || dx >= cell - cell / 6 || dy == 0 || dy == cell - 1) ++outside;
            }
        }
        const bool letter = (b >= 0x21 && b <= 0x7E) || b >= 0xC0 || b == 0xA8 || b == 0xB8;
        if (letter) {
            EXPECT_GT(ink, 10u) << "byte " << b;
            EXPECT_GT(white, 3u) << "byte " << b; // white, so the current colour tints it
        }
        if (b == 0x20 || b < 0x20) {
            EXPECT_EQ(ink, 0u) << "byte " << b;
        }
        EXPECT_EQ(outside, 0u) << "byte " << b;
        // The pulse graph's lines are drawn with the atlas bound at a cell corner: the clear
        // texels there are white, so the lines keep their colours.
        for (unsigned y : {y0, y0 + cell - 1}) {
            for (unsigned x : {x0, x0 + cell - 1}) {
                const std::uint8_t* p =
                    font.pixels.data() + (static_cast<std::size_t>(y) * font.width + x) * 4;
                EXPECT_EQ(p[0] + p[1] + p[2], 3 * 255) << "byte " << b;
            }
        }
    }
}

TEST_F(Assets, MenuSkinRegions) {
    const TgaImage menu = load("menu.tga");
    // The backdrop and every widget body are solid where they are drawn.
    EXPECT_TRUE(shows(menu, 0.5, 0.63));  // backdrop
    EXPECT_TRUE(shows(menu, 0.25, 0.06)); // MenuItem
    EXPECT_TRUE(shows(menu, 0.75, 0.06)); // SmallButton
    EXPECT_TRUE(shows(menu, 0.25, 0.19)); // ListButton
    EXPECT_TRUE(shows(menu, 0.75, 0.19)); // Panel
    EXPECT_GT(texel(menu, 0.75, 0.19)[3], 200);
    // Rounded corners and the gaps between regions are transparent, so nothing bleeds into
    // a neighbour under linear filtering.
    for (const auto& [s, t] : std::vector<std::pair<double, double>>{{0.001, 0.002},
                                                                     {0.499, 0.113},
                                                                     {0.501, 0.006},
                                                                     {0.999, 0.113},
                                                                     {0.011, 0.126},
                                                                     {0.479, 0.249},
                                                                     {0.501, 0.126},
                                                                     {0.999, 0.249},
                                                                     {0.001, 0.261},
                                                                     {0.999, 0.999},
                                                                     {0.5, 0.119},
                                                                     {0.5, 0.255}}) {
        EXPECT_FALSE(shows(menu, s, t)) << s << ", " << t;
    }
    // Widgets are tinted by multiplying with their colour: their skins are not dark.
    const std::uint8_t* item = texel(menu, 0.25, 0.08);
    EXPECT_GT(item[0] + item[1] + item[2], 3 * 120);
}

TEST_F(Assets, BarImageRegions) {
    const TgaImage bar = load("Bar.tga");
    // Bars glow along the middle of s 0..0.24 and fade to nothing at their sides.
    EXPECT_GT(texel(bar, 0.12, 0.5)[3], 230);
    EXPECT_FALSE(shows(bar, 0.002, 0.5));
    EXPECT_FALSE(shows(bar, 0.238, 0.5));
    // The edge strips lie in front of the bars: their middle is clear, their rails are not.
    EXPECT_FALSE(shows(bar, 0.375, 0.75));
    EXPECT_TRUE(shows(bar, 0.25 + 0.25 * 0.955, 0.75));
    EXPECT_TRUE(shows(bar, 0.25 + 0.25 * 0.035, 0.75));
    // Their ends sample across the wrap at t = 1 into the bottom row: both rows are clear.
    for (double s : {0.26, 0.3, 0.375, 0.45, 0.49}) {
        EXPECT_FALSE(shows(bar, s, 0.0)) << s;
        EXPECT_FALSE(shows(bar, s, 0.9999)) << s;
    }
    // Beat squares and ornaments are round: solid centre, clear corners.
    EXPECT_TRUE(shows(bar, 0.875, 0.375));
    EXPECT_FALSE(shows(bar, 0.752, 0.252));
    EXPECT_TRUE(shows(bar, 0.875, 0.125));
    EXPECT_FALSE(shows(bar, 0.752, 0.002));
    // Corner plates: solid at the screen corner, with a clear socket where the turning
    // ornament lies behind them.
    EXPECT_TRUE(shows(bar, 0.26, 0.01));
    EXPECT_FALSE(shows(bar, 0.25 + 0.5 * 0.328, 0.5 * 0.321));
    // The centre picture's ring frames the pacer.
    EXPECT_TRUE(shows(bar, 0.75, 0.5 + 0.25 * (1 + 0.89)));
    // Everything that is tinted is light, so the tint shows.
    const std::uint8_t* plate = texel(bar, 0.27, 0.02);
    EXPECT_GT(plate[0], 180);
}

TEST_F(Assets, BackgroundIsALightPicture) {
    CapturedMessageBoxes boxes;
    const auto image = readDibFile((sourceDir() / "img" / "backg.bmp").c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(powerOfTwo(static_cast<unsigned>(image->width)));
    EXPECT_TRUE(powerOfTwo(static_cast<unsigned>(image->height)));
    double sum = 0;
    for (std::uint8_t v : image->pixels)
        sum += v;
    EXPECT_GT(sum / static_cast<double>(image->pixels.size()), 170.0); // the blue curve shows on it
}

namespace {

struct Wave {
    unsigned format = 0, channels = 0, rate = 0, bits = 0;
    std::vector<std::int16_t> samples;
};

std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return v;
}

Wave readWave(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    Wave w;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
        std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return w;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::uint32_t size = le(b, at + 4, 4);
        if (at + 8 + size > b.size()) break;
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0 && size >= 16) {
            w.format = le(b, at + 8, 2);
            w.channels = le(b, at + 10, 2);
            w.rate = le(b, at + 12, 4);
            w.bits = le(b, at + 22, 2);
        } else if (std::memcmp(b.data() + at, "data", 4) == 0) {
            for (std::size_t i = 0; i + 1 < size; i += 2)
                w.samples.push_back(static_cast<std::int16_t>(le(b, at + 8 + i, 2)));
        }
        at += 8 + size + (size & 1);
    }
    return w;
}

// Zero crossings per second over a stretch of mono samples, halved: about the pitch.
double pitch(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
    return crossings * 44100.0 / static_cast<double>(to - from) / 2;
}

} // namespace

TEST(SoundFiles, ShortSoftCuesAndAWarning) {
    double previousPitch = -1;
    for (const char* name : {"1.wav", "2.wav", "3.wav", "4.wav", "error.wav"}) {
        SCOPED_TRACE(name);
        const Wave w = readWave((sourceDir() / "img" / name).string());
        EXPECT_EQ(w.format, 1u); // PCM
        EXPECT_EQ(w.rate, 44100u);
        EXPECT_EQ(w.bits, 16u);
        ASSERT_EQ(w.channels, 1u);
        const std::size_t n = w.samples.size();
        const double seconds = static_cast<double>(n) / w.rate;
        EXPECT_GE(seconds, 0.2);
        EXPECT_LE(seconds, 0.5);
        int peak = 0;
        for (std::int16_t v : w.samples)
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        EXPECT_GT(peak, 32767 / 8); // audible
        EXPECT_LT(peak, 32767 / 2); // soft, never clipped
        // Fades in and out: no click at either end.
        EXPECT_LT(std::abs(w.samples.front()), 200);
        EXPECT_LT(std::abs(w.samples.back()), 200);
        // Each cue differs from the one before it.
        const double whole = pitch(w.samples, 0, n);
        EXPECT_GT(std::abs(whole - previousPitch), 20.0);
        previousPitch = whole;
    }
    // The inhale cue rises and the exhale cue falls.
    const Wave inhale = readWave((sourceDir() / "img" / "1.wav").string());
    const Wave exhale = readWave((sourceDir() / "img" / "3.wav").string());
    const std::size_t a = inhale.samples.size(), b = exhale.samples.size();
    EXPECT_LT(pitch(inhale.samples, a / 10, a / 3), pitch(inhale.samples, 2 * a / 3, 9 * a / 10));
    EXPECT_GT(pitch(exhale.samples, b / 10, b / 3), pitch(exhale.samples, 2 * b / 3, 9 * b / 10));
}

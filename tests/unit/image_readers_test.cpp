// The TGA and bitmap readers against real files (BMP Suite, TGA samples), forged edge cases
// and cut files, and the texture upload.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gui/gui.hpp"
#include "render/image_decoders.hpp"
#include "render/images.hpp"
#include "support/test_support.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path().empty() ? fs::path(".") : path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void put16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A PNG as 8-bit RGB rows, top row first.
struct Picture {
    int width = 0, height = 0;
    Bytes rgb;
};

Picture readPng(const fs::path& path) {
    Picture p;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return p;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return {};
    }
    png_init_io(png, file);
    png_read_info(png, info);
    // Plain 8-bit RGB values, no colour management: 16-bit samples are scaled, not treated
    // as linear light.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    png_read_update_info(png, info);
    p.width = static_cast<int>(png_get_image_width(png, info));
    p.height = static_cast<int>(png_get_image_height(png, info));
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    p.rgb.resize(rowBytes * static_cast<std::size_t>(p.height));
    std::vector<png_bytep> rows(static_cast<std::size_t>(p.height));
    for (int y = 0; y < p.height; ++y)
        rows[static_cast<std::size_t>(y)] = p.rgb.data() + y * rowBytes;
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return p;
}

// The reference picture with its rows turned bottom first, as the readers hand them over.
Bytes bottomUp(const Picture& p) {
    Bytes out;
    const auto row = static_cast<std::size_t>(p.width) * 3;
    for (int y = p.height - 1; y >= 0; --y)
        out.insert(out.end(), p.rgb.begin() + static_cast<std::ptrdiff_t>(y * row),
                   p.rgb.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
    return out;
}

std::uint32_t dibHeaderSize(const Bytes& file) {
    const std::size_t at = file.size() >= 2 && file[0] == 'B' && file[1] == 'M' ? 14 : 0;
    if (file.size() < at + 4) return 0;
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
           static_cast<std::uint32_t>(file[at + 3]) << 24;
}

DibError decode(const Bytes& file, RgbImage& image) {
    return decodeDib(std::span(file), image);
}

const fs::path suite() {
    return testdataDir() / "bmpsuite";
}

// The BMP Suite's pictures with a 12- or 40-byte header and the reference each must match.
const std::map<std::string, std::string> kReferences = {
    {"g/pal1.bmp", "pal1"},
    {"g/pal1wb.bmp", "pal1"},
    {"g/pal1bg.bmp", "pal1bg"},
    {"g/pal4.bmp", "pal4"},
    {"g/pal4gs.bmp", "pal4gs"},
    {"g/pal4rle.bmp", "pal4"},
    {"g/pal8.bmp", "pal8"},
    {"g/pal8-0.bmp", "pal8"},
    {"g/pal8gs.bmp", "pal8gs"},
    {"g/pal8rle.bmp", "pal8"},
    {"g/pal8topdown.bmp", "pal8"},
    {"g/pal8w124.bmp", "pal8w124"},
    {"g/pal8w125.bmp", "pal8w125"},
    {"g/pal8w126.bmp", "pal8w126"},
    {"g/pal8os2.bmp", "pal8"},
    {"g/pal8nonsquare.bmp", "pal8nonsquare-e"},
    {"g/rgb16.bmp", "rgb16"},
    {"g/rgb16bfdef.bmp", "rgb16"},
    {"g/rgb16-565.bmp", "rgb16-565"},
    {"g/rgb16-565pal.bmp", "rgb16-565"},
    {"g/rgb24.bmp", "rgb24"},
    {"g/rgb24pal.bmp", "rgb24"},
    {"g/rgb32.bmp", "rgb24"},
    {"g/rgb32bf.bmp", "rgb24"},
    {"g/rgb32bfdef.bmp", "rgb24"},
    // Questionable files that still have one right answer for a 40- or 12-byte header.
    {"q/pal8offs.bmp", "pal8"},
    {"q/pal8oversizepal.bmp", "pal8"},
    {"q/pal8os2-sz.bmp", "pal8"},
    {"q/pal8os2-hs.bmp", "pal8"},
    {"q/pal8os2sp.bmp", "pal8"},
    {"q/pal8os2v2-40sz.bmp", "pal8"},
    {"q/rgb24largepal.bmp", "rgb24"},
    {"q/rgb16-231.bmp", "rgb16-231"},
    {"q/rgb16-3103.bmp", "rgb16-3103"},
    {"q/rgb32-7187.bmp", "rgb32-7187"},
    {"q/rgb32-111110.bmp", "rgb24"},
    {"q/rgb16faketrns.bmp", "rgb16"},
    {"q/rgb32fakealpha.bmp", "rgb24"},
};

} // namespace

TEST(BitmapReader, SuitePicturesMatchTheirReferences) {
    for (const auto& [name, reference] : kReferences) {
        SCOPED_TRACE(name);
        const Bytes file = readFile(suite() / name);
        ASSERT_FALSE(file.empty());
        const Picture expected = readPng(suite() / "reference" / (reference + ".png"));
        ASSERT_GT(expected.width, 0);
        RgbImage image;
        ASSERT_EQ(decode(file, image), DibError::None);
        EXPECT_EQ(image.width, expected.width);
        EXPECT_EQ(image.height, expected.height); // also for top-down files: a row count
        const Bytes rows = bottomUp(expected);
        ASSERT_EQ(image.pixels.size(), rows.size());
        // 11-bit channels were made from finer values than the 8-bit reference: one level.
        const int tolerance = name == "q/rgb32-111110.bmp" ? 1 : 0;
        int worst = 0;
        for (std::size_t i = 0; i < rows.size(); ++i)
            worst = std::max(worst, std::abs(image.pixels[i] - rows[i]));
        EXPECT_LE(worst, tolerance);
    }
}

TEST(BitmapReader, EveryGoodSuiteFileIsDecodedOrRefusedAsUnknown) {
    for (const auto& entry : fs::directory_iterator(suite() / "g")) {
        const std::string name = "g/" + entry.path().filename().string();
        SCOPED_TRACE(name);
        const Bytes file = readFile(entry.path());
        const std::uint32_t headerSize = dibHeaderSize(file);
        RgbImage image;
        if (headerSize == 12 || headerSize == 40) {
            EXPECT_TRUE(kReferences.count(name)) << "no reference listed";
        } else {
            EXPECT_EQ(decode(file, image), DibError::UnknownFormat);
        }
    }
}

TEST(BitmapReader, LaterHeaderVersionsAreReportedAsUnknownFormat) {
    CapturedMessageBoxes boxes;
    for (const char* name : {"g/pal8v4.bmp", "g/pal8v5.bmp", "b/badheadersize.bmp"}) {
        SCOPED_TRACE(name);
        boxes.clear();
        EXPECT_EQ(readDibFile((suite() / name).c_str()), nullptr);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].first, "Unknown DIB file format.");
        EXPECT_EQ(boxes.boxes()[0].second, "Error");
    }
}

TEST(BitmapReader, BadAndQuestionableFilesNeverCrash) {
    // Each is refused with one of the four messages or decoded into a consistent picture; an
    // out-of-bounds read shows under the sanitizer build.
    const std::set<std::string> texts = {"Unknown DIB file format.", "Out of memory.",
                                         "Image file conversion error."};
    CapturedMessageBoxes boxes;
    for (const char* folder : {"b", "q", "x"}) {
        for (const auto& entry : fs::directory_iterator(suite() / folder)) {
            SCOPED_TRACE(entry.path().string());
            boxes.clear();
            const auto image = readDibFile(entry.path().c_str());
            if (image) {
                EXPECT_TRUE(boxes.boxes().empty());
                EXPECT_GT(image->width, 0);
                EXPECT_GT(image->height, 0);
                EXPECT_EQ(image->pixels.size(),
                          static_cast<std::size_t>(image->width) * image->height * 3);
            } else {
                ASSERT_EQ(boxes.boxes().size(), 1u);
                EXPECT_TRUE(texts.count(boxes.boxes()[0].first)) << boxes.boxes()[0].first;
            }
        }
    }
}

TEST(BitmapReader, BrokenFieldsGetTheirMessages) {
    const std::map<std::string, DibError> expected = {
        {"b/shortfile.bmp", DibError::ConversionError}, // pixel rows cut short
        {"b/reallybig.bmp", DibError::ConversionError}, // 3000000 x 2000000 in 24 KB
        {"b/badwidth.bmp", DibError::ConversionError},  // negative width
        {"b/badplanes.bmp", DibError::ConversionError},
        {"b/badbitcount.bmp", DibError::ConversionError},
        {"b/rletopdown.bmp", DibError::ConversionError}, // run-length data is bottom-up only
        {"b/badheadersize.bmp", DibError::UnknownFormat},
        {"x/ba-bm.bmp", DibError::UnknownFormat}, // an OS/2 array, not a bitmap
        {"q/rgb24jpeg.bmp", DibError::UnknownFormat},
        {"q/pal2.bmp", DibError::ConversionError},      // 2 bits per pixel
        {"q/rgba32abf.bmp", DibError::ConversionError}, // compression 6
        {"q/rgba64.bmp", DibError::ConversionError},
    };
    for (const auto& [name, error] : expected) {
        SCOPED_TRACE(name);
        RgbImage image;
        EXPECT_EQ(decode(readFile(suite() / name), image), error);
    }
    // Pixel data said to start inside the file's own headers or colour table: damaged.
    for (const char* name : {"g/pal8.bmp", "g/pal4.bmp", "g/rgb24.bmp", "g/rgb16-565.bmp"}) {
        Bytes bytes = readFile(suite() / name);
        const std::uint32_t tableEnd = bytes[10] | bytes[11] << 8 | bytes[12] << 16 |
                                       static_cast<std::uint32_t>(bytes[13]) << 24;
        for (std::uint32_t offset : {0u, 14u, 53u, tableEnd - 1}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(offset));
            put32(bytes, 10, offset);
            RgbImage image;
            EXPECT_EQ(decode(bytes, image), DibError::ConversionError);
        }
    }
}

TEST(BitmapReader, EveryCutOfAFileIsRefusedOrDecodedWithinItsBytes) {
    for (const char* name : {"g/pal8.bmp", "g/pal4rle.bmp", "g/pal8rle.bmp", "g/rgb16-565.bmp",
                             "g/pal8os2.bmp", "g/rgb32bf.bmp"}) {
        SCOPED_TRACE(name);
        const Bytes whole = readFile(suite() / name);
        const bool runLength = std::strstr(name, "rle") != nullptr;
        for (std::size_t length = 0; length < whole.size(); ++length) {
            // A copy of exactly `length` bytes, so a read past its end is caught by ASan.
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            RgbImage image;
            const DibError error = decode(cut, image);
            if (!runLength) {
                EXPECT_NE(error, DibError::None) << length;
            } else if (error == DibError::None) {
                // A cut run-length stream keeps the rows it had; the rest stays black.
                EXPECT_EQ(image.pixels.size(), 127u * 64u * 3u);
            }
            if (length >= 14 + 40 + 1024 && !runLength && error != DibError::None)
                EXPECT_EQ(error, DibError::ConversionError) << length;
        }
    }
}

TEST(BitmapReader, PaletteRowsComeOutWithoutPadding) {
    // An 8-bit bitmap 3 pixels wide: stored rows of 4 bytes, output rows of 9.
    Bytes file(14 + 40 + 3 * 4 + 2 * 4, 0);
    file[0] = 'B';
    file[1] = 'M';
    put32(file, 10, 14 + 40 + 12);
    put32(file, 14, 40);
    put32(file, 18, 3);
    put32(file, 22, 2);
    put16(file, 26, 1);
    put16(file, 28, 8);
    put32(file, 46, 3); // colours used
    const std::uint8_t palette[3][4] = {{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}};
    std::memcpy(file.data() + 54, palette, sizeof palette);
    const std::uint8_t rows[8] = {0, 1, 2, 0xEE, 2, 2, 0, 0xEE}; // bottom row first
    std::memcpy(file.data() + 66, rows, sizeof rows);
    RgbImage image;
    ASSERT_EQ(decode(file, image), DibError::None);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    const Bytes expected = {30, 20, 10, 60, 50, 40, 90, 80, 70, 90, 80, 70, 90, 80, 70, 30, 20, 10};
    EXPECT_EQ(image.pixels, expected);
}

TEST(BitmapReader, BareCoreAndInformationHeaders) {
    // No file header: the pixels follow the header and its table.
    Bytes core = {12,   0, 0, 0, 2, 0, 1, 0, 1, 0, 1, 0, // 2 x 1, 1 plane, 1 bit
                  1,    2, 3, 4, 5, 6,                   // two 3-byte entries: blue, green, red
                  0x40, 0, 0, 0};                        // pixels 0 and 1
    RgbImage image;
    ASSERT_EQ(decode(core, image), DibError::None);
    EXPECT_EQ(image.pixels, (Bytes{3, 2, 1, 6, 5, 4}));

    // 16-bit 5-6-5 with bit fields: the three masks come before the pixels.
    Bytes info(40 + 12 + 4, 0);
    put32(info, 0, 40);
    put32(info, 4, 2);
    put32(info, 8, 1);
    put16(info, 12, 1);
    put16(info, 14, 16);
    put32(info, 16, 3);
    put32(info, 40, 0xF800);
    put32(info, 44, 0x07E0);
    put32(info, 48, 0x001F);
    put16(info, 52, 0xF800); // full red
    put16(info, 54, 0x0410); // green 32 of 63, blue 16 of 31
    ASSERT_EQ(decode(info, image), DibError::None);
    EXPECT_EQ(image.pixels, (Bytes{255, 0, 0, 0, 130, 132}));
}

TEST(BitmapReader, RunLengthEscapesPlacePixels) {
    // 4 x 3, RLE8: a run, end of line, absolute mode, a delta, end of bitmap.
    Bytes file(40 + 4 * 4, 0);
    put32(file, 0, 40);
    put32(file, 4, 4);
    put32(file, 8, 3);
    put16(file, 12, 1);
    put16(file, 14, 8);
    put32(file, 16, 1);
    put32(file, 32, 4);
    const std::uint8_t palette[4][4] = {
        {0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
    std::memcpy(file.data() + 40, palette, sizeof palette);
    const Bytes stream = {2, 1,             // row 0: two red
                          0, 0,             // end of line
                          0, 3, 2, 3, 1, 0, // row 1: absolute green, blue, red (+ pad)
                          0, 2, 1, 1,       // delta: right 1 (x 4), up 1 -> row 2, x 4
                          0, 0,             // end of line: row 3 is past the top
                          0, 1};
    file.insert(file.end(), stream.begin(), stream.end());
    RgbImage image;
    ASSERT_EQ(decode(file, image), DibError::None);
    const Bytes expected = {255, 0,   0, 255, 0, 0,   0,   0, 0, 0, 0, 0,  // row 0
                            0,   255, 0, 0,   0, 255, 255, 0, 0, 0, 0, 0,  // row 1
                            0,   0,   0, 0,   0, 0,   0,   0, 0, 0, 0, 0}; // row 2: skipped
    EXPECT_EQ(image.pixels, expected);
}

TEST(BitmapReader, ColourCountFollowsTheHeaderKind) {
    std::uint8_t core[12] = {12, 0, 0, 0, 0, 0, 0, 0, 1, 0, 8, 0};
    EXPECT_EQ(dibColorCount(core, sizeof core), 256);
    std::uint8_t info[40] = {40};
    info[14] = 4;
    EXPECT_EQ(dibColorCount(info, sizeof info), 16);
    info[32] = 5; // colours used wins
    EXPECT_EQ(dibColorCount(info, sizeof info), 5);
    info[32] = 0;
    info[14] = 24;
    EXPECT_EQ(dibColorCount(info, sizeof info), 0);
    info[14] = 1;
    EXPECT_EQ(dibColorCount(info, 14), 0); // the bit count lies beyond what is readable
}

TEST(BitmapReader, MissingFileNamesThePathWithItsNewline) {
    ScratchDirectory scratch;
    CapturedMessageBoxes boxes;
    EXPECT_EQ(readDibFile("./img/backg.bmp"), nullptr);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].first, "Failed to open DIB file ./img/backg.bmp.\n");
    EXPECT_EQ(boxes.boxes()[0].second, "Error");
}

namespace {

Bytes tgaFile(unsigned type, unsigned depth, unsigned width, unsigned height, unsigned idLength,
              std::size_t pixelBytes) {
    Bytes b(18 + idLength + pixelBytes, 0);
    b[0] = static_cast<std::uint8_t>(idLength);
    b[2] = static_cast<std::uint8_t>(type);
    put16(b, 12, width);
    put16(b, 14, height);
    b[16] = static_cast<std::uint8_t>(depth);
    for (std::size_t i = 0; i < idLength; ++i)
        b[18 + i] = 0xAA;
    for (std::size_t i = 0; i < pixelBytes; ++i)
        b[18 + idLength + i] = static_cast<std::uint8_t>(i * 7);
    return b;
}

} // namespace

TEST(TgaReader, SizesAndColourOrder) {
    Gui g;
    ScratchDirectory scratch;
    writeFile("big.tga", tgaFile(2, 32, 256, 256, 0, 256 * 256 * 4));
    TgaImage* image = g.loadTga("big.tga");
    ASSERT_EQ(image, &g.tgaImage);
    EXPECT_EQ(image->width, 256);
    EXPECT_EQ(image->height, 256);
    EXPECT_EQ(image->byteSize, 256u * 256u * 4u);
    EXPECT_EQ(image->bitsPerPixel, 32);

    writeFile("wide.tga", tgaFile(2, 24, 300, 200, 0, 300 * 200 * 3));
    image = g.loadTga("wide.tga");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 300);
    EXPECT_EQ(image->height, 200);
    EXPECT_EQ(image->byteSize, 300u * 200u * 3u);
    EXPECT_EQ(image->pixels.size(), 300u * 200u * 3u);

    Bytes one = tgaFile(2, 32, 1, 1, 0, 4);
    one[18] = 10; // blue
    one[19] = 20; // green
    one[20] = 30; // red
    one[21] = 40; // alpha
    writeFile("one.tga", one);
    image = g.loadTga("one.tga");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels, (Bytes{30, 20, 10, 40}));
}

TEST(TgaReader, IdentificationFieldIsSkipped) {
    Bytes file = tgaFile(2, 24, 1, 1, 5, 3);
    file[23] = 1;
    file[24] = 2;
    file[25] = 3;
    TgaImage image;
    ASSERT_TRUE(decodeTga(std::span(file), image));
    EXPECT_EQ(image.pixels, (Bytes{3, 2, 1})); // read from offset 23, swapped
}

TEST(TgaReader, OtherKindsAndShortFilesGiveNoRecordAndNoMessage) {
    Gui g;
    ScratchDirectory scratch;
    CapturedMessageBoxes boxes;
    writeFile("rle.tga", tgaFile(10, 32, 2, 2, 0, 16));
    writeFile("depth16.tga", tgaFile(2, 16, 2, 2, 0, 8));
    Bytes cut = tgaFile(2, 32, 4, 4, 3, 64);
    cut.pop_back();
    writeFile("cut.tga", cut);
    writeFile("header.tga", Bytes(17, 0));
    for (const char* name : {"rle.tga", "depth16.tga", "cut.tga", "header.tga", "missing.tga"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(g.loadTga(name), nullptr);
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(TgaReader, SampleFiles) {
    const fs::path common = testdataDir() / "tga" / "tga" / "common";
    // Bottom-left files come out upright (bottom row first), top-left ones as stored.
    struct Case {
        const char* file;
        const char* reference;
        bool bottomUp;
    };
    for (const Case& c : {Case{"200x32_rgb_bl_raw.tga", "200x32_rgb.png", true},
                          Case{"200x32_rgba_bl_raw.tga", "200x32_rgba.png", true},
                          Case{"200x32_rgba_tl_raw.tga", "200x32_rgba.png", false}}) {
        SCOPED_TRACE(c.file);
        TgaImage image;
        ASSERT_TRUE(decodeTga(std::span<const std::uint8_t>(readFile(common / c.file)), image));
        const Picture expected = readPng(common / c.reference);
        ASSERT_EQ(image.width, expected.width);
        ASSERT_EQ(image.height, expected.height);
        const Bytes rows = c.bottomUp ? bottomUp(expected) : expected.rgb;
        const unsigned bpp = image.bitsPerPixel / 8u;
        Bytes rgb;
        for (std::size_t i = 0; i < image.pixels.size(); i += bpp) {
            // Only opaque pixels have a colour to compare with the composited reference.
            const bool opaque = bpp == 3 || image.pixels[i + 3] == 255;
            for (int k = 0; k < 3; ++k)
                rgb.push_back(opaque ? image.pixels[i + k] : rows[rgb.size()]);
        }
        EXPECT_TRUE(rgb == rows);
    }
    TgaImage idField;
    ASSERT_TRUE(decodeTga(
        std::span<const std::uint8_t>(readFile(testdataDir() / "tga" / "tga_id_field.tga")),
        idField));
    EXPECT_EQ(idField.width, 100);
    EXPECT_EQ(idField.height, 100);

    // Everything else there is compressed, palette, grey or 16-bit: no record, no crash.
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(testdataDir() / "tga"))
        if (e.path().extension() == ".tga") files.push_back(e.path());
    const std::set<std::string> accepted = {"200x32_rgb_bl_raw.tga", "200x32_rgba_bl_raw.tga",
                                            "200x32_rgba_tl_raw.tga", "tga_id_field.tga"};
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        TgaImage image;
        EXPECT_EQ(decodeTga(std::span<const std::uint8_t>(readFile(path)), image),
                  accepted.count(path.filename().string()) == 1);
    }
}

TEST(Textures, UploadedUnderTheirFixedNames) {
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    ScratchDirectory scratch;
    Bytes bar = tgaFile(2, 32, 2, 1, 0, 8);
    const std::uint8_t texels[8] = {10, 20, 30, 40, 50, 60, 70, 80};
    std::memcpy(bar.data() + 18, texels, 8);
    writeFile("img/Bar.tga", bar);
    writeFile("img/font.tga", tgaFile(2, 24, 4, 2, 0, 4 * 2 * 3));
    Bytes bmp(14 + 40 + 4, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp, 10, 54);
    put32(bmp, 14, 40);
    put32(bmp, 18, 1);
    put32(bmp, 22, 1);
    put16(bmp, 26, 1);
    put16(bmp, 28, 24);
    bmp[54] = 1; // blue
    bmp[55] = 2;
    bmp[56] = 3; // red
    writeFile("img/backg.bmp", bmp);
    // menu.tga is missing: its texture stays without an image and nothing is reported.
    CapturedMessageBoxes boxes;
    Gui g;
    EXPECT_TRUE(boxes.boxes().empty());

    auto size = [](GLuint name, GLint& w, GLint& h, GLint& format) {
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    };
    GLint w = 0, h = 0, format = 0;
    size(0, w, h, format);
    EXPECT_EQ(w, 0);
    size(1, w, h, format);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(format, 3);
    size(3, w, h, format);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(format, 3);
    std::uint8_t back[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back);
    EXPECT_EQ(back[0], 3);
    EXPECT_EQ(back[2], 1);

    size(2, w, h, format);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(format, 4);
    std::uint8_t rgba[8] = {};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    EXPECT_EQ(Bytes(rgba, rgba + 8), (Bytes{30, 20, 10, 40, 70, 60, 50, 80}));
    GLint wrap = 0, filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(wrap, GL_REPEAT);
    EXPECT_EQ(filter, GL_LINEAR);
}

TEST(Textures, MissingBackgroundIsReportedAndTheRestStillLoads) {
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    ScratchDirectory scratch;
    writeFile("img/menu.tga", tgaFile(2, 32, 2, 2, 0, 16));
    CapturedMessageBoxes boxes;
    Gui g;
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].first, "Failed to open DIB file ./img/backg.bmp.\n");
    GLint w = 0;
    glBindTexture(GL_TEXTURE_2D, 0);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 2);
}

TEST(Textures, NothingHappensWithoutAContext) {
    ScratchDirectory scratch;
    CapturedMessageBoxes boxes;
    Gui g; // no context: not even the missing background is reported
    EXPECT_TRUE(boxes.boxes().empty());
}

// TGA and Windows bitmap decoding from bytes in memory; no platform calls, no messages.
#include "render/image_decoders.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

std::uint16_t read16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t read32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t readSigned32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(read32(p));
}

// The largest bitmap decoded: 32 M pixels (96 MiB of rows) is far beyond any texture the
// program shows, and a forged header of a few bytes cannot demand gigabytes (a run-length
// stream may legally describe a huge picture in two bytes).
constexpr std::uint64_t kMaxDibPixels = std::uint64_t{1} << 25;

constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionBitFields = 3;

using Rgb = std::array<std::uint8_t, 3>;
// Indices beyond the colour table come out black, like the zeroed rows of a fresh section.
using Palette = std::array<Rgb, 256>;

// One colour channel of a 16- or 32-bit pixel, given by its bit mask.
struct Channel {
    std::uint32_t mask = 0;
    unsigned shift = 0;
    std::uint32_t max = 0; // the channel's largest value, 0 for an empty mask
};

Channel channelFor(std::uint32_t mask) {
    Channel c;
    if (mask == 0) return c;
    c.mask = mask;
    c.shift = static_cast<unsigned>(std::countr_zero(mask));
    c.max = mask >> c.shift;
    return c;
}

// Scales the channel to 0..255 with rounding, so that the largest value is full intensity
// (5 bits of 31 give 255, not 248).
std::uint8_t expand(const Channel& c, std::uint32_t pixel) {
    if (c.max == 0) return 0;
    const std::uint64_t v = (pixel & c.mask) >> c.shift;
    return static_cast<std::uint8_t>((v * 255 + c.max / 2) / c.max);
}

struct DibFormat {
    std::int64_t width = 0;
    std::int64_t height = 0; // as stored: negative for top-down rows
    unsigned planes = 0;
    unsigned bits = 0;
    std::uint32_t compression = 0;
    std::array<Channel, 3> channels; // red, green, blue, for 16 and 32 bits
};

void decodeUncompressed(const std::uint8_t* src, std::uint64_t stride, const DibFormat& f,
                        const Palette& palette, std::uint8_t* out) {
    const std::int64_t rows = f.height < 0 ? -f.height : f.height;
    for (std::int64_t fileRow = 0; fileRow < rows; ++fileRow) {
        const std::int64_t outRow = f.height > 0 ? fileRow : rows - 1 - fileRow;
        const std::uint8_t* s = src + static_cast<std::uint64_t>(fileRow) * stride;
        std::uint8_t* o = out + static_cast<std::uint64_t>(outRow * f.width) * 3;
        for (std::int64_t x = 0; x < f.width; ++x, o += 3) {
            const auto ux = static_cast<std::uint64_t>(x);
            switch (f.bits) {
            case 1:
            case 4:
            case 8: {
                unsigned index = 0;
                if (f.bits == 1)
                    index = (s[ux >> 3] >> (7 - (ux & 7))) & 1u;
                else if (f.bits == 4)
                    index = (s[ux >> 1] >> ((ux & 1) ? 0 : 4)) & 15u;
                else
                    index = s[ux];
                std::copy_n(palette[index].begin(), 3, o);
                break;
            }
            case 16:
            case 32: {
                const std::uint32_t px = f.bits == 16 ? read16(s + 2 * ux) : read32(s + 4 * ux);
                for (int c = 0; c < 3; ++c)
                    o[c] = expand(f.channels[c], px);
                break;
            }
            default: // 24: blue, green, red in the file
                o[0] = s[3 * ux + 2];
                o[1] = s[3 * ux + 1];
                o[2] = s[3 * ux];
                break;
            }
        }
    }
}

// Run-length data (RLE8, or RLE4 when `fourBit`), bottom-up. Pixels the stream never sets stay
// black; pixels beyond the row are dropped; the stream stops at end-of-bitmap, at the last row
// or where the data ends, whichever comes first.
void decodeRunLength(const std::uint8_t* p, std::size_t available, bool fourBit, const DibFormat& f,
                     const Palette& palette, std::uint8_t* out) {
    const std::int64_t rows = f.height;
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::size_t pos = 0;
    auto put = [&](std::int64_t px, unsigned index) {
        if (px < f.width && y < rows)
            std::copy_n(palette[index].begin(), 3,
                        out + static_cast<std::uint64_t>(y * f.width + px) * 3);
    };
    while (y < rows && available - pos >= 2) {
        const unsigned count = p[pos];
        const unsigned value = p[pos + 1];
        pos += 2;
        if (count > 0) { // a run of one index (RLE8) or two alternating ones (RLE4)
            for (unsigned k = 0; k < count; ++k)
                put(x + k, fourBit ? ((k & 1) ? value & 15u : value >> 4) : value);
            x += count;
        } else if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta: move right and up
            if (available - pos < 2) break;
            x += p[pos];
            y += p[pos + 1];
            pos += 2;
        } else { // absolute mode: `value` literal indices, padded to a 16-bit boundary
            const std::size_t bytes = fourBit ? (value + 1) / 2 : value;
            if (available - pos < bytes) break;
            for (unsigned k = 0; k < value; ++k) {
                const std::uint8_t b = p[pos + (fourBit ? k / 2 : k)];
                put(x + k, fourBit ? ((k & 1) ? b & 15u : b >> 4) : b);
            }
            x += value;
            pos += std::min(bytes + (bytes & 1), available - pos);
        }
    }
}

DibError decodeDibUnchecked(std::span<const std::uint8_t> file, RgbImage& image) {
    const std::uint8_t* d = file.data();
    const std::size_t size = file.size();
    const bool hasFileHeader = size >= 2 && d[0] == 'B' && d[1] == 'M';
    const std::size_t headerStart = hasFileHeader ? 14 : 0;
    if (size < headerStart + 4) return DibError::UnknownFormat;
    const std::uint8_t* h = d + headerStart;
    const std::uint32_t headerSize = read32(h);
    if (headerSize != 12 && headerSize != 40) return DibError::UnknownFormat;
    if (size - headerStart < headerSize) return DibError::ConversionError;

    const std::uint16_t colorCount = dibColorCount(h, size - headerStart);
    DibFormat f;
    std::size_t entrySize = 4;
    if (headerSize == 12) {
        f.width = read16(h + 4);
        f.height = read16(h + 6);
        f.planes = read16(h + 8);
        f.bits = read16(h + 10);
        f.compression = kCompressionNone;
        entrySize = 3;
    } else {
        f.width = readSigned32(h + 4);
        f.height = readSigned32(h + 8);
        f.planes = read16(h + 12);
        f.bits = read16(h + 14);
        f.compression = read32(h + 16);
    }

    std::size_t tableStart = headerStart + headerSize;
    if (f.compression == kCompressionBitFields) {
        // Three masks (red, green, blue) follow the information header; the colour table,
        // if any, comes after them.
        if (f.bits != 16 && f.bits != 32) return DibError::ConversionError;
        if (size - tableStart < 12) return DibError::ConversionError;
        for (int c = 0; c < 3; ++c)
            f.channels[c] = channelFor(read32(d + tableStart + 4 * c));
        tableStart += 12;
    } else if (f.bits == 16) {
        f.channels = {channelFor(0x7C00), channelFor(0x03E0), channelFor(0x001F)};
    } else if (f.bits == 32) {
        f.channels = {channelFor(0xFF0000), channelFor(0xFF00), channelFor(0xFF)};
    }

    if (f.planes != 1 || f.width <= 0 || f.height == 0) return DibError::ConversionError;
    switch (f.bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return DibError::ConversionError;
    }
    const bool rle8 = f.compression == kCompressionRle8;
    const bool rle4 = f.compression == kCompressionRle4;
    if (f.compression != kCompressionNone && f.compression != kCompressionBitFields && !rle8 &&
        !rle4)
        return DibError::ConversionError;
    // Run-length data is only defined bottom-up and for its own depth.
    if ((rle8 && f.bits != 8) || (rle4 && f.bits != 4) || ((rle8 || rle4) && f.height < 0))
        return DibError::ConversionError;

    const std::int64_t rows = f.height < 0 ? -f.height : f.height;

    // The colour table: only the entries the depth can index are needed.
    Palette palette{};
    if (f.bits <= 8) {
        const std::size_t used = std::min<std::size_t>(colorCount, std::size_t{1} << f.bits);
        if ((size - tableStart) / entrySize < used) return DibError::ConversionError;
        for (std::size_t i = 0; i < used; ++i) {
            const std::uint8_t* e = d + tableStart + i * entrySize;
            palette[i] = {e[2], e[1], e[0]};
        }
    }

    const std::uint64_t pixelOffset =
        hasFileHeader ? read32(d + 10) : tableStart + std::uint64_t{colorCount} * entrySize;
    if (pixelOffset > size) return DibError::ConversionError;
    // Pixels that would start inside the headers or the colour entries in use are a damaged
    // file, not a picture. A core header cannot say how many entries it has (a shorter table
    // ends where the pixels begin), so there only the headers count.
    const std::uint64_t usedEntries =
        f.bits <= 8 && headerSize == 40
            ? std::min<std::uint64_t>(colorCount, std::uint64_t{1} << f.bits)
            : 0;
    if (pixelOffset < tableStart + usedEntries * entrySize) return DibError::ConversionError;
    const std::uint8_t* src = d + pixelOffset;
    const std::size_t available = size - static_cast<std::size_t>(pixelOffset);

    const auto width = static_cast<std::uint64_t>(f.width);
    const auto urows = static_cast<std::uint64_t>(rows);
    std::uint64_t stride = 0;
    if (!rle8 && !rle4) {
        stride = (width * f.bits + 31) / 32 * 4;
        // A file whose pixel rows are cut short is refused, not read past its end.
        if (stride != 0 && available / stride < urows) return DibError::ConversionError;
    }
    if (width > kMaxDibPixels || width * urows > kMaxDibPixels) return DibError::OutOfMemory;

    std::vector<std::uint8_t> out(static_cast<std::size_t>(width * urows * 3), 0);
    if (rle8 || rle4)
        decodeRunLength(src, available, rle4, f, palette, out.data());
    else
        decodeUncompressed(src, stride, f, palette, out.data());

    image.width = static_cast<std::int32_t>(f.width);
    image.height = static_cast<std::int32_t>(rows);
    image.pixels = std::move(out);
    return DibError::None;
}

} // namespace

bool decodeTga(std::span<const std::uint8_t> file, TgaImage& image) {
    const std::uint8_t* d = file.data();
    if (file.size() < 18) return false;
    if (d[2] != 2) return false; // uncompressed true-colour only
    const std::uint8_t depth = d[16];
    if (depth != 24 && depth != 32) return false;
    const std::uint16_t width = read16(d + 12);
    const std::uint16_t height = read16(d + 14);
    const unsigned bytesPerPixel = depth / 8u;
    const std::uint64_t byteSize = std::uint64_t{width} * height * bytesPerPixel;
    const std::size_t offset = 18 + std::size_t{d[0]}; // after the identification field
    if (file.size() < offset || file.size() - offset < byteSize) return false;

    std::vector<std::uint8_t> pixels;
    try {
        pixels.assign(d + offset, d + offset + static_cast<std::size_t>(byteSize));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::size_t i = 0; i + 2 < pixels.size(); i += bytesPerPixel)
        std::swap(pixels[i], pixels[i + 2]);
    image.width = width;
    image.height = height;
    image.byteSize = static_cast<std::uint32_t>(byteSize);
    image.bitsPerPixel = depth;
    image.pixels = std::move(pixels);
    return true;
}

std::uint16_t dibColorCount(const std::uint8_t* header, std::size_t available) {
    auto field16 = [&](std::size_t offset) -> std::uint16_t {
        return available >= offset + 2 ? read16(header + offset) : 0;
    };
    auto field32 = [&](std::size_t offset) -> std::uint32_t {
        return available >= offset + 4 ? read32(header + offset) : 0;
    };
    std::uint16_t bits = 0;
    if (field32(0) == 12) {
        bits = field16(10);
    } else {
        const std::uint32_t used = field32(32);
        if (used != 0) return static_cast<std::uint16_t>(used);
        bits = field16(14);
    }
    switch (bits) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

const char* dibErrorText(DibError error) {
    switch (error) {
    case DibError::UnknownFormat:
        return "Unknown DIB file format.";
    case DibError::OutOfMemory:
        return "Out of memory.";
    case DibError::ConversionError:
        return "Image file conversion error.";
    case DibError::None:
        break;
    }
    return "";
}

DibError decodeDib(std::span<const std::uint8_t> file, RgbImage& image) {
    try {
        return decodeDibUnchecked(file, image);
    } catch (const std::bad_alloc&) {
        return DibError::OutOfMemory;
    } catch (const std::length_error&) {
        return DibError::OutOfMemory;
    }
}

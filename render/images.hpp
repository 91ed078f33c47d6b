// Decoded images: pixel rows bottom row first, colour bytes red, green, blue (, alpha).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct TgaImage {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint32_t byteSize = 0;     // width x height x bytes per pixel
    std::uint8_t bitsPerPixel = 0;  // 24 or 32
    std::vector<std::uint8_t> pixels;
};

struct RgbImage {
    std::int32_t width = 0;
    // The number of rows, always positive: a bitmap stored top down (negative height in its
    // header) is turned over while it is read, so the rows here are bottom row first too.
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels; // height rows of width x 3 bytes, no padding
};

// Number of colour-table entries for the bitmap information header at `header`
// (`available` bytes readable there; fields beyond it count as 0).
std::uint16_t dibColorCount(const std::uint8_t* header, std::size_t available);

// Reads a Windows bitmap file; every failure is reported in a message box ("Error").
std::unique_ptr<RgbImage> readDibFile(const char* path);

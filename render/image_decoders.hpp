// The cores of the image readers: TGA and Windows bitmap decoding from bytes in memory.
#pragma once

#include <cstdint>
#include <span>

#include "render/images.hpp"

// Decodes an uncompressed true-colour TGA (image type 2, depth 24 or 32) into `image`: rows in
// stored order, each pixel turned from blue, green, red (, alpha) into red, green, blue
// (, alpha). False, with `image` untouched, for any other kind of file and for a file shorter
// than its header promises. No messages, no dependencies: the fuzzers link this alone.
bool decodeTga(std::span<const std::uint8_t> file, TgaImage& image);

// Why a bitmap was refused; each has its own message text.
enum class DibError {
    None,
    UnknownFormat,   // the header size is neither 12 nor 40 (or the file is too short to say)
    OutOfMemory,     // an allocation failed, or the picture is beyond any sensible size
    ConversionError, // the pixels cannot be turned into 24-bit rows (cut short, bad fields)
};

// The message text of a refusal ("Unknown DIB file format." ...); empty for None.
const char* dibErrorText(DibError error);

// Decodes a Windows bitmap, with or without the 14-byte file header, into 24-bit rows, bottom
// row first, red, green, blue, no padding. Handles 1/4/8-bit palettes, RLE4 and RLE8, 16- and
// 32-bit pixels with or without bit fields, 24-bit pixels, core (12-byte) and information
// (40-byte) headers, bottom-up and top-down storage. Every offset and length is checked
// against the buffer; nothing is read outside it.
DibError decodeDib(std::span<const std::uint8_t> file, RgbImage& image);

// Fuzz target: the TGA reader's core on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "render/image_decoders.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TgaImage image;
    if (decodeTga(std::span(data, size), image)) {
        // A record is only ever handed over consistent with its header.
        const std::size_t bytesPerPixel = image.bitsPerPixel / 8u;
        if (image.pixels.size() != std::size_t{image.width} * image.height * bytesPerPixel ||
            image.byteSize != image.pixels.size())
            __builtin_trap();
    }
    return 0;
}

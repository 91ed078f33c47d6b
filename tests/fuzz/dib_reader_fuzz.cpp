// Fuzz target: the Windows bitmap reader's core on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "render/image_decoders.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RgbImage image;
    if (decodeDib(std::span(data, size), image) == DibError::None) {
        if (image.width <= 0 || image.height <= 0 ||
            image.pixels.size() !=
                static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3)
            __builtin_trap();
    }
    return 0;
}

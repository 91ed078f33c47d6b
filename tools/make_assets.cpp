// Writes the program's images and sounds into a folder (default ./img).
#include <cstdio>
#include <filesystem>
#include <string>

#include "images.hpp"

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "img";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const bool images = makeImages(folder);
    const bool sounds = makeSounds(folder);
    if (!images || !sounds) {
        std::fprintf(stderr, "make_assets: could not write everything into %s\n", folder.c_str());
        return 1;
    }
    std::printf("make_assets: wrote the images and sounds into %s\n", folder.c_str());
    return 0;
}

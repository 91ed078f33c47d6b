// The image file readers and the upload of the four fixed textures.
#include <GL/gl.h>

#include <cstdio>
#include <span>
#include <string>

#include "gui/gui.hpp"
#include "platform/mapped_file.hpp"
#include "platform/message_box.hpp"
#include "platform/window.hpp"
#include "render/image_decoders.hpp"
#include "render/menu_picture.hpp"
#include "render/visible_texels.hpp"

namespace {

void reportDibFailure(const char* text) {
    showMessageBox(text, "Error", MessageBoxButtons::Ok, MessageBoxIcon::None);
}

// Binds the texture name, sets the fixed sampling state and uploads the pixels, if any. A
// texture whose file could not be read stays without an image and samples as nothing.
void uploadTexture(std::int32_t name, int components, GLenum format, int width, int height,
                   const std::uint8_t* pixels) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(name));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1); // rows are tightly packed
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    // The drawing tints and fades textured quads with the current colour.
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (!pixels || width <= 0 || height <= 0) return;
    glTexImage2D(GL_TEXTURE_2D, 0, components, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
}

} // namespace

TgaImage* Gui::loadTga(const char* path) {
    const auto file = MappedFile::open(path);
    if (!file) return nullptr;
    if (!decodeTga(std::span(file->data(), file->size()), tgaImage)) return nullptr;
    return &tgaImage;
}

std::unique_ptr<RgbImage> readDibFile(const char* path) {
    const auto file = MappedFile::open(path);
    // An empty file cannot be mapped on the system this reader was made for.
    if (!file || file->size() == 0) {
        const std::string name = path ? path : "";
        std::string text(name.size() + 32, '\0');
        const int length =
            std::snprintf(text.data(), text.size(), "Failed to open DIB file %s.\n", name.c_str());
        text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        reportDibFailure(text.c_str());
        return nullptr;
    }
    auto image = std::make_unique<RgbImage>();
    const DibError error = decodeDib(std::span(file->data(), file->size()), *image);
    if (error != DibError::None) {
        reportDibFailure(dibErrorText(error));
        return nullptr;
    }
    return image;
}

void Gui::loadTextures() {
    // The global Gui is built before any window exists; the one the program draws with is
    // rebuilt once the context is current.
    if (!hasCurrentGlContext()) return;
    forgetMenuPicture();

    const std::unique_ptr<RgbImage> background = readDibFile("./img/backg.bmp");
    if (background)
        uploadTexture(backgroundTexture, 3, GL_RGB, background->width, background->height,
                      background->pixels.data());
    else
        uploadTexture(backgroundTexture, 3, GL_RGB, 0, 0, nullptr);

    const char* const tgaFiles[] = {"./img/menu.tga", "./img/font.tga", "./img/Bar.tga"};
    const std::int32_t tgaNames[] = {menuTexture, fontTexture, barTexture};
    for (int i = 0; i < 3; ++i) {
        const TgaImage* tga = loadTga(tgaFiles[i]);
        if (!tga) {
            uploadTexture(tgaNames[i], 4, GL_RGBA, 0, 0, nullptr);
            forgetVisibleTexels(tgaNames[i]);
            continue;
        }
        const bool alpha = tga->bitsPerPixel == 32;
        uploadTexture(tgaNames[i], alpha ? 4 : 3, alpha ? GL_RGBA : GL_RGB, tga->width, tga->height,
                      tga->pixels.data());
        noteVisibleTexels(tgaNames[i], tga->width, tga->height,
                          alpha ? tga->pixels.data() : nullptr);
    }
    // OpenGL holds its own copy; the decoded pixels would only take up memory.
    tgaImage = TgaImage{};
}

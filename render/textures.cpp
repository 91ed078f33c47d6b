// STUB: replaced by the image readers and texture upload.
#include "gui/gui.hpp"

void Gui::loadTextures() {}
TgaImage* Gui::loadTga(const char*) { return nullptr; }
std::uint16_t dibColorCount(const std::uint8_t*, std::size_t) { return 0; }
std::unique_ptr<RgbImage> readDibFile(const char*) { return nullptr; }

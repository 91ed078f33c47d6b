// STUB: replaced by text output.
#include "render/text.hpp"
#include "gui/gui.hpp"

void Gui::drawText(float, float, float, std::string_view) {}
void createBitmapFont() {}
void drawBitmapText(double, double, double, std::size_t, const char*) {}

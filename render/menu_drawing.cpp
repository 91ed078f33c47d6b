// STUB: replaced by the menu drawing.
#include "gui/gui.hpp"

void Gui::drawMenu() {}

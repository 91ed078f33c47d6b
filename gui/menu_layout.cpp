// STUB: replaced by the menu layout.
#include "gui/menu_layout.hpp"
#include "gui/gui.hpp"

void buildUserInterface(std::int32_t, std::int32_t, void*) { gui = Gui(); }
void hideToggleClicked(std::uint32_t) {}

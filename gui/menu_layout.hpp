// The fixed menu: every entry, panel, row and small button, built once at window creation.
#pragma once

#include <cstdint>

// Resets the global Gui and builds the menu; needs the OpenGL context current.
void buildUserInterface(std::int32_t width, std::int32_t height, void* window);

// The click action of the five hide toggles: the click pass has already inverted the toggle,
// which is all a toggle does, so this selects no row.
void hideToggleClicked(std::uint32_t position);

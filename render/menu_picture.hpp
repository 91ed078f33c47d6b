// The still menu kept as a picture, drawn again with one quad while only its status lines change.
#pragma once

#include <cstdint>

// Draws the kept picture when it was taken of a menu with this fingerprint in a viewport of
// the current size; false (and nothing drawn) otherwise. The picture fills the viewport at
// the depth of the menu's widgets, so text drawn over it meets the depth it would have met.
bool drawKeptMenuPicture(std::uint64_t menuFingerprint);

// Keeps what the viewport shows now as the picture of the menu with this fingerprint.
void keepMenuPicture(std::uint64_t menuFingerprint);

// Forgets the picture (the textures were made anew, perhaps in another context).
void forgetMenuPicture();

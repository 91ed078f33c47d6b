// A fingerprint of everything a frame's drawing reads, to tell when a frame would repeat.
#pragma once

#include <cstdint>

class Gui;

// Equal fingerprints mean equal inputs to the frame: the same picture, and the same changes
// made by drawing it. The menu's beat clock is left out (it follows the time and is not drawn).
std::uint64_t frameFingerprint(const Gui& g);

// The same for the menu alone without its panels' status lines (the words that flash with
// the beats): equal fingerprints mean the same menu picture under the status lines.
std::uint64_t menuFingerprint(const Gui& g);

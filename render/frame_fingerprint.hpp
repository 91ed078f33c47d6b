// A fingerprint of everything a frame's drawing reads, to tell when a frame would repeat.
#pragma once

#include <cstdint>

class Gui;
struct MenuItem;
struct ListButton;
struct SmallButton;
struct Panel;

// Equal fingerprints mean equal inputs to the frame: the same picture, and the same changes
// made by drawing it. The menu's beat clock is left out (it follows the time and is not drawn).
std::uint64_t frameFingerprint(const Gui& g);

// The same for the menu alone without its panels' status lines (the words that flash with
// the beats): equal fingerprints mean the same menu picture under the status lines.
std::uint64_t menuFingerprint(const Gui& g);

// The parts of the menu that move every widget at once (zoom, centre, textures, how many
// widgets there are). While it stays the same, the menu picture changes only where a
// widget's own fingerprint changed.
std::uint64_t menuFrameFingerprint(const Gui& g);

// One widget: everything its drawing reads (a panel without its status line).
std::uint64_t widgetFingerprint(const MenuItem& item);
std::uint64_t widgetFingerprint(const ListButton& row);
std::uint64_t widgetFingerprint(const SmallButton& button);
std::uint64_t widgetFingerprint(const Panel& panel);

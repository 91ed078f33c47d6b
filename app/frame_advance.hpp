// One frame's advance: everything that moves, moved once from the time and the events handled
// since the last frame, before anything is drawn.
#pragma once

#include "gui/menu_look.hpp"

// What one frame shows, as its advance left it: the drawing reads this and the Gui and changes
// neither.
struct Frame {
    bool menuShown = true;    // the menu; otherwise the training screen
    MenuLook menu;            // the menu's look, when it shows
    bool promptShown = false; // the sensor warning over the training screen
    bool operator==(const Frame&) const = default;
};

struct FrameAdvance {
    Frame frame;
    // The picture differs from the last frame's: the training screen turns every frame, the
    // menu changes only with its look.
    bool pictureChanged = true;
    // Nothing moves by itself any more: until an event comes, every frame would show this one's
    // picture (the menu with its zoom and fades done and no status word flashing).
    bool atRest = false;
};

// Advances one frame: each beat decoded since the last frame through the pacer, with what it
// did handed on; the pulse flash; the sensor panels; then the shown screen's animation. The
// menu's beat clock follows the time; on the training screen the warning's sound plays while it
// shows, and a session with no cycle left ends after this frame, the menu showing from the next.
FrameAdvance advanceFrame();

// The frame's pacer steps: one step per beat decoded since the last frame (none while the menu
// shows or the breathing-rate test measures the heart rate), each with its own moment and
// interval and handed on to sound, screen and record; every beat also goes to the recent heart
// rate, then the pulse indicator's
// decay by a tenth (the flash counts frames).
void stepPacer();

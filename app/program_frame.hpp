// One frame of the program: its advance, then its drawing when the picture changed.
#pragma once

struct Frame;

// Advances one frame and draws it when the frame schedule says it must be drawn; true when it
// was drawn and must be swapped.
bool runFrame();

// Advances one frame and draws it whatever changed, for tests and benchmarks that look at
// every frame.
void advanceAndDrawFrame();

// Draws a frame as its advance left it, in the window's picture area: the margins, then the
// menu, or the training screen and the warning over it. Reads the Gui, changes nothing of it.
void drawFrame(const Frame& frame);

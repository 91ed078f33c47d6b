// When to draw: at the display's pace while the picture changes, not at all while it is still.
#pragma once

// Waits until the next frame is due, handing the events that come meanwhile to the window
// procedure; while the picture would not change, waits for an event alone. True when the
// frame is due now; false when an event was handled (drain the queue, then ask again).
bool waitForFrame();

// Draws the frame unless it would repeat the picture on screen without changing anything;
// true when it was drawn and must be swapped.
bool drawFrameIfChanged();

// The picture on screen was lost or no longer fits (window uncovered, resized): the next frame
// is drawn whatever the state.
void redrawNextFrame();

// True while the picture is still: the last frame drawn left the state as it found it, and
// nothing has changed since.
bool pictureIsStill();

// When to draw: at the display's pace while the picture changes, not at all while it is still.
// It only keeps time; the frame loop handles the events and runs the frames it asks for.
#pragma once

struct Event;

// Waits until the next frame is due and returns true. An event that comes first is handed
// back instead (false): handle it, report it with eventHandled, and ask again. While the
// picture is still it waits for an event alone, a quarter of a second at most, so a change
// that comes without one still reaches the screen.
bool waitForFrame(Event& event);

// An event was handled, which may have changed the picture; `beatWaiting`: a pulse beat now
// waits for the pacer. A beat that came during the wait for a frame is drawn at once, not at
// the next slot of the pace, which then starts again from that frame: the pacer steps when the
// heart beats, and the animation gains at most one frame a beat.
void eventHandled(bool beatWaiting);

// The frame's advance has run and said whether its picture changed and whether anything still
// moves by itself: true when the frame must be drawn (it changed, or the picture on screen was
// lost). Once everything is at rest the picture is still until an event comes.
bool frameMustBeDrawn(bool pictureChanged, bool atRest);

// The picture on screen was lost or no longer fits (window uncovered, resized): the next frame
// is drawn whatever its advance says.
void redrawNextFrame();

// True while the picture is still: the last advance found everything at rest, no event was
// handled since, and the picture on screen is whole.
bool pictureIsStill();

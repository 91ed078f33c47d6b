// The frame schedule: the frame pace while the picture changes, waits for events while it is
// still, on the word of each frame's advance.
#include "app/frame_schedule.hpp"

#include "platform/events.hpp"
#include "platform/window.hpp"

namespace {

bool mustDraw = true;           // nothing drawn yet, or the picture was lost
bool lastAdvanceAtRest = false; // the last frame's advance found nothing moving by itself
bool eventSinceAdvance = false; // an event was handled after it
bool skipped = false;           // frames were left out since the last one drawn
bool eventInPaceWait = false;   // the event handed back came while a frame was awaited

// A still picture needs no frame until something happens; the wait still ends now and then,
// so a change that comes without an event (a test, a callback) is drawn at the latest then.
constexpr int kStillWaitMs = 250;

} // namespace

bool pictureIsStill() { return !mustDraw && lastAdvanceAtRest && !eventSinceAdvance; }

bool waitForFrame(Event& event) {
    event = Event{}; // none, when the wait ends for the quit message
    eventInPaceWait = false;
    if (pictureIsStill()) {
        skipped = true;
        return !waitEvent(event, kStillWaitMs); // the skipped frame keeps its clock
    }
    if (skipped) {
        restartFramePace(); // the first frame after a still picture is due at once
        skipped = false;
    }
    // Whole milliseconds here; the swap sleeps away the rest, so the pace stays exact.
    for (double left = msUntilNextFrame(); left >= 1.0; left = msUntilNextFrame()) {
        if (waitEvent(event, static_cast<int>(left))) {
            eventInPaceWait = true;
            return false;
        }
        if (quitRequested()) return false;
    }
    return true;
}

void eventHandled(bool beatWaiting) {
    eventSinceAdvance = true;
    if (eventInPaceWait && beatWaiting) restartFramePace();
    eventInPaceWait = false;
}

bool frameMustBeDrawn(bool pictureChanged, bool atRest) {
    eventSinceAdvance = false;
    lastAdvanceAtRest = atRest;
    const bool draw = pictureChanged || mustDraw;
    if (draw)
        mustDraw = false;
    else
        skipped = true;
    return draw;
}

void redrawNextFrame() { mustDraw = true; }

// The frame schedule: fingerprints before and after each drawn frame decide whether the next
// one would show anything new.
#include "app/frame_schedule.hpp"

#include <cstdint>

#include "app/shell.hpp"
#include "gui/gui.hpp"
#include "platform/events.hpp"
#include "platform/ticks.hpp"
#include "platform/window.hpp"
#include "render/frame_fingerprint.hpp"

namespace {

bool mustDraw = true;           // nothing drawn yet, or the picture was lost
bool skipped = false;           // frames were left out since the last one drawn
std::uint64_t lastBefore = 0;   // fingerprint when the last drawn frame began
bool lastLeftStateAlone = false; // ... and it ended with the same fingerprint

// A still picture needs no frame until something happens; the wait still ends now and then,
// so a change that comes without an event (a test, a callback) is drawn at the latest then.
constexpr int kStillWaitMs = 250;

} // namespace

bool pictureIsStill() {
    return !mustDraw && lastLeftStateAlone && frameFingerprint(gui) == lastBefore;
}

bool waitForFrame() {
    Event event;
    if (pictureIsStill()) {
        skipped = true;
        if (!waitEvent(event, kStillWaitMs)) return true; // the skipped frame keeps its clock
        windowProc(event);
        return false;
    }
    if (skipped) {
        restartFramePace(); // the first frame after a still picture is due at once
        skipped = false;
    }
    // Whole milliseconds here; the swap sleeps away the rest, so the pace stays exact.
    for (double left = msUntilNextFrame(); left >= 1.0; left = msUntilNextFrame()) {
        if (waitEvent(event, static_cast<int>(left))) {
            windowProc(event);
            // A beat is drawn at once, not at the next slot of the pace, which then starts
            // again from this frame: the pacer steps when the heart beats, and the animation
            // gains at most one frame a beat.
            if (!gui.sensor.pendingBeats.empty()) restartFramePace();
            return false;
        }
        if (quitRequested()) return false;
    }
    return true;
}

bool drawFrameIfChanged() {
    if (pictureIsStill()) {
        // What the skipped menu frame would have done beyond drawing: its beat clock follows
        // the time.
        if (gui.inMenu) gui.session.lastBeatTick = tickMs();
        skipped = true;
        return false;
    }
    const std::uint64_t before = frameFingerprint(gui);
    drawFrame();
    lastBefore = before;
    lastLeftStateAlone = frameFingerprint(gui) == before;
    mustDraw = false;
    return true;
}

void redrawNextFrame() { mustDraw = true; }

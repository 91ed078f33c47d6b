// The frame's advance: beats through the pacer, sensor panels, menu or training screen moved.
#include "app/frame_advance.hpp"

#include <utility>

#include "app/resonance_formula.hpp"
#include "app/resonance_test_run.hpp"
#include "app/session_flow.hpp"
#include "gui/gui.hpp"
#include "gui/menu_animation.hpp"
#include "platform/ticks.hpp"
#include "training/sound_cues.hpp"

namespace {

Frame lastFrame;
bool anyFrame = false; // lastFrame holds a frame

} // namespace

void stepPacer() {
    for (const SensorBeat& beat : gui.sensor.pendingBeats) {
        noteHeartBeat(beat);
        resonanceTestBeat();
        const bool halted = gui.inMenu != 0 || resonanceTestWaitsForHeartRate();
        passOnPacerStep(beat, gui.session.onBeat(halted, beat));
    }
    gui.sensor.pendingBeats.clear();
    if (gui.sensor.pulseIndicator > 0.5f)
        gui.sensor.pulseIndicator = gui.sensor.pulseIndicator - gui.sensor.pulseIndicator / 10;
}

FrameAdvance advanceFrame() {
    stepPacer();
    gui.sensor.updatePanels();

    FrameAdvance advance;
    Frame& frame = advance.frame;
    frame.menuShown = gui.inMenu != 0;
    if (frame.menuShown) {
        MenuStep step = advanceMenu(gui);
        frame.menu = std::move(step.look);
        // The pulse word fades with its indicator, a step a frame.
        advance.atRest = !step.moving && !(gui.sensor.pulseIndicator > 0.5f);
        // While the menu is shown the beat clock follows the time, so the first beat of a
        // session is not measured against a beat from before the menu was opened.
        gui.session.lastBeatTick = tickMs();
    } else {
        const TrainingScreenStep step =
            advanceTrainingScreen(gui.trainingScreen, gui.session, gui.sensor);
        frame.promptShown = step.promptShown;
        if (step.cue) playCue(step.cue);
        if (step.sessionOver) gui.inMenu = 1;
    }

    advance.pictureChanged = !frame.menuShown || !anyFrame || !(frame == lastFrame);
    lastFrame = frame;
    anyFrame = true;
    return advance;
}

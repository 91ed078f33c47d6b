// The app's side of a session: starting and halting it, and handing on what the pacer did.
#include "app/session_flow.hpp"

#include "app/resonance_formula.hpp"
#include "app/resonance_test_run.hpp"
#include "gui/gui.hpp"
#include "platform/ticks.hpp"
#include "training/session_record.hpp"
#include "training/sound_cues.hpp"

void startSession() {
    if (resonanceTestRunning()) {
        restartResonanceStage();
        return;
    }
    applyRateFormula();
    beginSession();
}

void beginSession() {
    gui.session.restart();
    gui.trainingScreen.phaseStarted = true;
    gui.inMenu = 0;
    sessionRecorder.beginSession(gui.session, tickMs());
}

void haltSession() {
    if (resonanceTestRunning()) {
        haltResonanceTest();
        return;
    }
    gui.inMenu = 1;
    sessionRecorder.endSession(SessionEnd::Halted);
}

void passOnPacerStep(const SensorBeat& beat, const PacerStep& step) {
    if (!step.stepped) return;
    if (step.cue) playCue(step.cue);
    if (step.phaseStarted) gui.trainingScreen.phaseStarted = true;
    // Read after the step: the record keeps where the pacer stands with this beat.
    sessionRecorder.recordBeat(gui.session, gui.sensor, beat.tick, step.intervalMs, step.cue,
                               step.gap);
    resonanceTestStep(beat, step);
}

// The breathing-rate test as the program runs it: the heart rate measured, then five stages on
// the training screen, each its own session and record, scored at its end; the result shown,
// written beside the records and into the working folder, and trained at from then on.
#pragma once

struct PacerStep;
struct SensorBeat;

// Starts the test on the training screen: the pacer waits until the heart rate is known, then
// the first stage begins. `stageSeconds` is each stage's length (two minutes; shorter for tests).
void beginResonanceTest(double stageSeconds);

// A stage or the measuring before the first is under way.
bool resonanceTestRunning();

// The heart rate is still being measured: beats do not step the pacer yet.
bool resonanceTestWaitsForHeartRate();

// Each beat the sensor reports, after the recent heart rate took it: once it gives a rate the
// first stage begins.
void resonanceTestBeat();

// A pacer step, after the record took it: the stage keeps the beat, and the beat that closes a
// stage's last cycle scores it and begins the next stage or ends the test with its result.
void resonanceTestStep(const SensorBeat& beat, const PacerStep& step);

// Space: the stage under way starts over with its formula (its record ends as restarted).
void restartResonanceStage();

// Enter: the test ends without a result, which a box says; the menu comes back with the
// formula and session length it had before.
void haltResonanceTest();

// The program ends during the test: one line says that no result was written.
void quitResonanceTest();

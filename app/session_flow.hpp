// Where a session's moments go: its start and halt, and each pacer step handed on to the
// sound, the training screen and the session record.
#pragma once

struct PacerStep;
struct SensorBeat;

// Space or "Старт": the pacer starts over from its first beat with the current formula (while
// training at the breathing-rate test's rate, worked out again from the heart rate; during the
// test, the stage under way starts over), as beginSession does.
void startSession();

// The session starts: the training screen shows from the next frame with its bar and disc at
// the start of the inhale, and a record begins (one still open ends as restarted).
void beginSession();

// Enter: the menu shows from the next frame; the record ends as halted (during the
// breathing-rate test, the test ends without a result).
void haltSession();

// What one beat did: its cue sounds, a phase it began sends the screen's bar and disc back to
// the start of their travel, and the record takes the beat with the pacer's new position.
void passOnPacerStep(const SensorBeat& beat, const PacerStep& step);

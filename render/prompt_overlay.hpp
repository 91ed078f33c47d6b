// The warning drawn over the training screen while the pulse sensor is not ready.
#pragma once

// Draws the three red lines in front of everything the training screen draws; whether they
// show is the frame's advance step's to say. Leaves texturing on.
void drawPromptOverlay();

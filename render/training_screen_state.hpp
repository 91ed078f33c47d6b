// The animation state that only the training screen keeps: bar end, pacer and ring radii.
#pragma once

// Lives for the whole run and starts at 0; kept across sessions. Coordinates are normalised
// screen units (a radius is the vertical half-axis; the horizontal one is 0.75 of it).
struct TrainingScreenState {
    float barFill = 0.0f;      // moving end of the current phase's bar
    float pacerRadius = 0.0f;  // pacer disc
    float breathRadius = 0.0f; // ring that follows the user's breathing
};

// The one instance; the training screen reads and writes it every drawn frame, tests set it.
TrainingScreenState& trainingScreenState();

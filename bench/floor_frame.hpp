// The floor of the benchmarks: a frame of the training screen's background mesh alone.
#pragma once

// Loads the background picture into the Gui's background texture (only that one).
void loadFloorTexture();

// One floor frame: clear, then the background mesh drawn by the program's own code in the
// state the training screen draws it in, its lens moved on as a training frame moves it.
void drawFloorFrame();

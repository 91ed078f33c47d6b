// The warning drawn over the training screen while the pulse sensor is not ready.
#pragma once

void drawPromptOverlay();

// STUB: replaced by the prompt overlay.
#include "render/prompt_overlay.hpp"

void drawPromptOverlay() {}

// STUB: replaced by the sound cues.
#include "training/sound_cues.hpp"

void playCue(const char*) {}
void setCueObserver(CueObserver) {}
const char* volumeWord(std::int32_t) { return ""; }
void volumeStepClicked(std::uint32_t) {}

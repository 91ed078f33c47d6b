// STUB: replaced by SDL_mixer playback.
#include "platform/sound.hpp"

bool openAudio() { return false; }
void closeAudio() {}
bool audioAvailable() { return false; }
bool playWaveFile(const std::string&) { return false; }
bool setMasterVolume(std::uint32_t) { return false; }

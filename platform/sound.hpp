// Sound output: wave files played asynchronously, and a master output level.
#pragma once

#include <cstdint>
#include <string>

// Opens the audio device at 44,100 Hz, 16-bit signed, stereo; false when there is none
// (the program then runs silently). Main thread only.
bool openAudio();
void closeAudio();
bool audioAvailable();

// Starts playing a wave file and returns at once. A play of a file that is still sounding
// is ignored; different files overlap. Decoded files are kept for later plays. False when
// the file is missing or unplayable or there is no audio device. Main thread only.
bool playWaveFile(const std::string& path);

// Sets the master level of both channels, 0 (silent) to 65535 (full). False when the level
// cannot be set (no audio device). Main thread only.
bool setMasterVolume(std::uint32_t level);

// Number of wave files sounding right now (0 without a device); for tests. Main thread only.
int soundingVoices();

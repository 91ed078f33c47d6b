// Sound cues ("play ./img/1.wav") and the volume steppers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Sends one multimedia command string ("play FILE"); the result is ignored.
void playCue(const char* command);

// Tests observe the commands instead of (or besides) playing them.
using CueObserver = std::function<void(const std::string& command)>;
void setCueObserver(CueObserver observer);

// The volume word for a level 0..65535 ("   50%"), CP1251.
const char* volumeWord(std::int32_t volume);

// Sets the master level to the Gui's volume, at start-up, so the first cue is heard at the
// level the options page shows. Without an audio device nothing happens.
void applyVolume();

// Click action of the volume steppers: 5 is "-", 6 is "+ ".
void volumeStepClicked(std::uint32_t position);

// The settings file ./menu.cfg: the states of the five hide toggles, one character each.
#pragma once

// "00000000" until loaded; positions 0..5 hold toggle states ('1' checked), 6..7 stay '0'.
extern char settingsBuffer[9];

// Reads the first line of ./menu.cfg into settingsBuffer (at most five characters).
void loadSettings();
// Writes the states of the first six small buttons to ./menu.cfg: a new file renamed over the
// old one (in place where the folder is not writable), through a symbolic link to its target,
// with the old file's mode; a read-only file is left alone with a line on standard error.
void saveSettings();

// The program's pictures and sounds, written into a folder.
#pragma once

#include <string>

// menu.tga, font.tga, Bar.tga and backg.bmp; false if any could not be made or written.
bool makeImages(const std::string& folder);

// 1.wav to 4.wav and error.wav; false if any could not be written.
bool makeSounds(const std::string& folder);

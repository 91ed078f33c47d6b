// Draws a breathing-rate test's result: each stage's heart rate, the scores per rate, the winner.
#pragma once

#include <string>

#include "report/resonance_report.hpp"

inline constexpr int kResonanceWidth = 1200;
inline constexpr int kResonanceHeight = 800;

// Writes a PNG, or an SVG when the path ends in ".svg"; false with a message on failure.
bool writeResonancePicture(const ResonanceReport& report, const std::string& path,
                           std::string& error);
// The picture as PNG bytes in memory, for the HTML page.
bool renderResonancePng(const ResonanceReport& report, std::string& png, std::string& error);

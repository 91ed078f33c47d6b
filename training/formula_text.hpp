// A breathing formula written as text, "4-0-6-0": inhale, hold-in, exhale and hold-out beats.
#pragma once

#include <optional>
#include <string_view>

#include "training/presets.hpp"

// The most beats a phase may last, as the menu's steppers allow.
inline constexpr std::int32_t kMostPhaseBeats = 99;

// Four whole numbers joined by "-", each 0..99, inhale and exhale at least 1; empty otherwise.
std::optional<BreathFormula> parseFormula(std::string_view text);

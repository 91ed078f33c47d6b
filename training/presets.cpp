// STUB: replaced by the presets.
#include "training/presets.hpp"

BreathFormula presetFormula(std::int32_t, std::int32_t) { return {1, 4, 2, 2}; }
void goalRowClicked(std::uint32_t) {}
void levelRowClicked(std::uint32_t) {}
void pulseIntervalRowClicked(std::uint32_t) {}
void exerciseRowClicked(std::uint32_t) {}

// The session record's CSV as both its writer and its readers know it: the columns and the
// words for the pacer's phases.
#pragma once

#include <cstdint>
#include <string_view>

// The header row: one row per beat follows, in these columns. `class` is filled when the
// session ends (it needs the beats after each one); a record cut short leaves it empty.
inline constexpr const char* kRecordCsvHeader =
    "beat,ms,interval_ms,hr_bpm,phase,beat_in_phase,cycle,cue,breath,gap,class\n";

// "inhale", "hold-in", "exhale", "hold-out" for the phases 0..3; "" for any other.
const char* recordPhaseName(std::int32_t phase);
// The phase a record's word names; -1 for a word that names none.
std::int32_t recordPhaseOf(std::string_view name);

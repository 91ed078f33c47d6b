// The words of the record's phase column, one list for writing and reading.
#include "record/record_format.hpp"

#include <array>

namespace {

constexpr std::array<const char*, 4> kPhaseNames = {"inhale", "hold-in", "exhale", "hold-out"};

} // namespace

const char* recordPhaseName(std::int32_t phase) {
    if (phase < 0 || phase >= static_cast<std::int32_t>(kPhaseNames.size())) return "";
    return kPhaseNames[static_cast<std::size_t>(phase)];
}

std::int32_t recordPhaseOf(std::string_view name) {
    for (std::size_t i = 0; i < kPhaseNames.size(); ++i)
        if (name == kPhaseNames[i]) return static_cast<std::int32_t>(i);
    return -1;
}

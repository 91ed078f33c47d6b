// Reads "I-P-E-P".
#include "training/formula_text.hpp"

std::optional<BreathFormula> parseFormula(std::string_view text) {
    BreathFormula formula{};
    std::size_t at = 0;
    for (std::size_t phase = 0; phase < 4; ++phase) {
        if (phase > 0) {
            if (at >= text.size() || text[at] != '-') return std::nullopt;
            ++at;
        }
        std::int32_t value = 0;
        std::size_t digits = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3; ++at, ++digits)
            value = value * 10 + (text[at] - '0');
        if (digits == 0 || value > kMostPhaseBeats) return std::nullopt;
        formula[phase] = value;
    }
    if (at != text.size() || formula[0] < 1 || formula[2] < 1) return std::nullopt;
    return formula;
}

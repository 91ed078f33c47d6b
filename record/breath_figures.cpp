// The breathing rate from the in-onsets, and the shares of phase beats breathed as paced.
#include "record/breath_figures.hpp"

namespace {

std::optional<double> percent(std::int64_t part, std::int64_t whole) {
    if (whole == 0) return std::nullopt;
    return 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

// Breaths a minute of `count` breaths that lasted `ms` together.
std::optional<double> rate(std::int64_t count, double ms) {
    if (count == 0 || ms <= 0.0) return std::nullopt;
    return 60000.0 * static_cast<double>(count) / ms;
}

} // namespace

BreathFigures computeBreathFigures(const std::vector<FigureBeat>& beats) {
    BreathFigures figures;
    // The cycles as the record shows them: runs of beats with one cycle number, so a damaged
    // number costs one entry, never a list as long as the number. A last run of the last beat
    // alone is the cycle that beat opened, which never ran: it gets no entry.
    struct Cycle {
        std::int64_t breaths = 0;
        double ms = 0.0;
    };
    std::vector<Cycle> cycles;
    std::size_t onsetCycle = 0;
    std::int64_t totalBreaths = 0;
    double totalMs = 0.0;
    std::int64_t inhale = 0, breathedIn = 0, exhale = 0, breathedOut = 0;

    signed char previous = -1;
    bool chained = false; // lastOnsetMs is an onset the chain since has not broken
    double lastOnsetMs = 0.0;
    for (std::size_t i = 0; i < beats.size(); ++i) {
        const FigureBeat& beat = beats[i];
        if (i == 0 || beat.cycle != beats[i - 1].cycle) cycles.emplace_back();
        const signed char breath = beat.breath == 0 || beat.breath == 1 ? beat.breath : -1;
        if (breath < 0) {
            chained = false;
            previous = -1;
            continue;
        }
        ++figures.beatsWithBreath;
        if (beat.phase == 0) ++inhale, breathedIn += breath;
        if (beat.phase == 2) ++exhale, breathedOut += 1 - breath;
        if (previous == 0 && breath == 1) {
            ++figures.breaths;
            // In double: times read from a file may lie anywhere in 64 bits.
            const auto ms = static_cast<double>(beat.ms);
            if (chained && ms > lastOnsetMs) {
                cycles[onsetCycle].breaths += 1;
                cycles[onsetCycle].ms += ms - lastOnsetMs;
                ++totalBreaths;
                totalMs += ms - lastOnsetMs;
            }
            chained = true;
            lastOnsetMs = ms;
            onsetCycle = cycles.size() - 1;
        }
        previous = breath;
    }
    if (beats.size() >= 2 && beats.back().cycle != beats[beats.size() - 2].cycle) cycles.pop_back();

    figures.meanRatePerMin = rate(totalBreaths, totalMs);
    for (const Cycle& c : cycles)
        figures.cycleRatePerMin.push_back(rate(c.breaths, c.ms));
    figures.inhaleBreathedInPercent = percent(breathedIn, inhale);
    figures.exhaleBreathedOutPercent = percent(breathedOut, exhale);
    return figures;
}

// The figures follow the short-term measures of the 1996 Task Force of the ESC and NASPE.
#include "record/hrv_figures.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

std::optional<double> mean(const std::vector<double>& values) {
    if (values.empty()) return std::nullopt;
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

// Sample standard deviation (n - 1), as the Task Force's SDNN is usually computed.
std::optional<double> sampleSd(const std::vector<double>& values) {
    if (values.size() < 2) return std::nullopt;
    const double m = *mean(values);
    double sum = 0.0;
    for (double v : values)
        sum += (v - m) * (v - m);
    return std::sqrt(sum / static_cast<double>(values.size() - 1));
}

} // namespace

bool beatIsUsable(const FigureBeat& beat, bool firstOfSession) {
    return !firstOfSession && !beat.doubtful && !beat.gap && beat.intervalMs >= kShortestUsableIntervalMs &&
           beat.intervalMs <= kLongestUsableIntervalMs;
}

HrvFigures computeHrvFigures(const std::vector<FigureBeat>& beats) {
    HrvFigures figures;
    figures.beats = static_cast<std::int64_t>(beats.size());

    std::vector<double> intervals, rates, differences;
    std::array<std::vector<double>, 4> phaseRates;
    // Per cycle: sums and counts of inhale and exhale rates, in cycle order.
    struct CycleRates {
        std::int32_t cycle;
        double inhaleSum = 0, exhaleSum = 0;
        int inhale = 0, exhale = 0;
    };
    std::vector<CycleRates> cycles;

    bool previousUsable = false;
    double previousInterval = 0.0;
    for (std::size_t i = 0; i < beats.size(); ++i) {
        const FigureBeat& beat = beats[i];
        const bool usable = beatIsUsable(beat, i == 0);
        if (usable) {
            const double rate = 60000.0 / beat.intervalMs;
            intervals.push_back(beat.intervalMs);
            rates.push_back(rate);
            if (previousUsable) differences.push_back(beat.intervalMs - previousInterval);
            // The interval elapsed while the pacer stood where the beat before left it: the
            // beat that begins the inhale ends an interval of the pause before. (A usable
            // beat is never the first, so there is one before it.)
            const FigureBeat& before = beats[i - 1];
            if (before.phase >= 0 && before.phase < 4)
                phaseRates[static_cast<std::size_t>(before.phase)].push_back(rate);
            if (cycles.empty() || cycles.back().cycle != before.cycle)
                cycles.push_back({before.cycle});
            if (before.phase == 0) cycles.back().inhaleSum += rate, ++cycles.back().inhale;
            if (before.phase == 2) cycles.back().exhaleSum += rate, ++cycles.back().exhale;
        }
        previousUsable = usable;
        previousInterval = beat.intervalMs;
    }

    figures.usedBeats = static_cast<std::int64_t>(intervals.size());
    figures.leftOut = figures.beats - figures.usedBeats;
    figures.meanHr = mean(rates);
    if (!rates.empty()) {
        figures.minHr = *std::min_element(rates.begin(), rates.end());
        figures.maxHr = *std::max_element(rates.begin(), rates.end());
    }
    figures.meanNnMs = mean(intervals);
    if (intervals.size() < kFewestBeatsForVariability) differences.clear();
    else figures.sdnnMs = sampleSd(intervals);
    if (!differences.empty()) {
        double squares = 0.0;
        std::size_t above50 = 0;
        for (double d : differences) {
            squares += d * d;
            if (std::fabs(d) > 50.0) ++above50;
        }
        const auto n = static_cast<double>(differences.size());
        figures.rmssdMs = std::sqrt(squares / n);
        figures.pnn50 = 100.0 * static_cast<double>(above50) / n;
    }
    for (std::size_t p = 0; p < 4; ++p)
        figures.phaseMeanHr[p] = mean(phaseRates[p]);
    for (const CycleRates& c : cycles)
        if (c.inhale > 0 && c.exhale > 0)
            figures.cycleArrhythmia.push_back(c.inhaleSum / c.inhale - c.exhaleSum / c.exhale);
    figures.arrhythmiaMean = mean(figures.cycleArrhythmia);
    figures.arrhythmiaSd = sampleSd(figures.cycleArrhythmia);
    return figures;
}

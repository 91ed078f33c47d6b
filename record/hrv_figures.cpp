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

namespace {

HrvFigures figuresOf(const std::vector<FigureBeat>& beats) {
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

bool breaksRhythm(const FigureBeat& beat, bool firstOfSession) {
    return firstOfSession || beat.gap || beat.doubtful;
}

struct RecordClasses {
    std::vector<std::optional<BeatClass>> classes;
    std::vector<double> replacementMs; // per beat, as beat_classes.hpp says
    std::array<std::int64_t, kBeatClassCount> counts{};
};

RecordClasses classifyRuns(const std::vector<FigureBeat>& beats) {
    RecordClasses out;
    out.classes.resize(beats.size());
    out.replacementMs.resize(beats.size());
    std::size_t runStart = 0;
    auto classifyRun = [&](std::size_t end) {
        if (end <= runStart) return;
        std::vector<double> intervals;
        for (std::size_t i = runStart; i < end; ++i)
            intervals.push_back(beats[i].intervalMs);
        const BeatClassification found = classifyBeats(intervals);
        for (std::size_t i = runStart; i < end; ++i) {
            out.classes[i] = found.classes[i - runStart];
            out.replacementMs[i] = found.replacementMs[i - runStart];
        }
        for (std::size_t k = 1; k < kBeatClassCount; ++k)
            out.counts[k] += found.counts[k];
    };
    for (std::size_t i = 0; i < beats.size(); ++i) {
        if (!breaksRhythm(beats[i], i == 0)) continue;
        classifyRun(i);
        runStart = i + 1;
    }
    classifyRun(beats.size());
    return out;
}

// The beats put right, each in the phase and cycle its interval elapsed in as before.
std::vector<FigureBeat> correctedBeats(const std::vector<FigureBeat>& beats,
                                       const RecordClasses& found) {
    const std::vector<std::optional<BeatClass>>& classes = found.classes;
    std::vector<FigureBeat> out;
    out.reserve(beats.size() + 8);
    double carriedMs = 0.0; // an extra beat's interval, joined to the next one
    for (std::size_t i = 0; i < beats.size(); ++i) {
        FigureBeat beat = beats[i];
        const std::optional<BeatClass> c = classes[i];
        if (!c || *c == BeatClass::Normal) {
            out.push_back(beat);
            continue;
        }
        if (*c == BeatClass::Extra) {
            if (carriedMs == 0.0 && i + 1 < beats.size() && classes[i + 1] == BeatClass::Extra) {
                carriedMs = beat.intervalMs; // the false beat goes; its interval joins the next
                continue;
            }
            beat.intervalMs += carriedMs;
            carriedMs = 0.0;
            out.push_back(beat);
            continue;
        }
        if (*c == BeatClass::Missed) {
            // The beat the strap did not see, halfway, in the phase the interval began in.
            FigureBeat unseen = beats[i - 1];
            unseen.intervalMs = beat.intervalMs / 2.0;
            unseen.ms = beat.ms - static_cast<std::int64_t>(beat.intervalMs / 2.0);
            unseen.gap = unseen.doubtful = false;
            out.push_back(unseen);
            beat.intervalMs /= 2.0;
        } else {
            beat.intervalMs = found.replacementMs[i]; // ectopic, long or short
        }
        out.push_back(beat);
    }
    return out;
}

} // namespace

std::vector<std::optional<BeatClass>> classifyRecordBeats(const std::vector<FigureBeat>& beats) {
    return classifyRuns(beats).classes;
}

std::vector<FigureBeat> beatsPutRight(const std::vector<FigureBeat>& beats) {
    return correctedBeats(beats, classifyRuns(beats));
}

HrvFigures computeHrvFigures(const std::vector<FigureBeat>& beats) {
    const RecordClasses found = classifyRuns(beats);
    const std::vector<FigureBeat> corrected = correctedBeats(beats, found);
    HrvFigures figures = figuresOf(corrected);
    figures.beats = static_cast<std::int64_t>(beats.size());
    figures.leftOut = static_cast<std::int64_t>(corrected.size()) - figures.usedBeats;
    figures.corrected = found.counts;
    return figures;
}

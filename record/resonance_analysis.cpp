// The breathing-rate test's scores. The intervals are resampled evenly at 4 Hz (linear between
// beats), the linear trend removed, and their power taken from one Hann-windowed periodogram
// of the whole stage: a stage lasts two minutes, too short for Welch's averaging of shorter
// segments to keep a resolution finer than the band.
#include "record/resonance_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <numeric>

namespace {

constexpr double kResampleHz = 4.0;
constexpr double kPi = 3.14159265358979323846;
// Fewer seconds than this hold less than one and a half breaths at the fastest rate tried.
constexpr double kShortestSpectrumS = 15.0;
constexpr std::size_t kFewestIntervalsPerCycle = 3;

// Samples of `values` at `times` (ascending), evenly every 1/4 s from `from` (by default the
// first time) to `to` (the last), linear between neighbours and held beyond the ends.
std::vector<double> resample(const std::vector<double>& times, const std::vector<double>& values,
                             std::optional<double> from = {}, std::optional<double> to = {}) {
    std::vector<double> out;
    if (times.size() < 2) return out;
    std::size_t k = 0;
    const double end = to.value_or(times.back());
    for (double t = from.value_or(times.front()); t <= end; t += 1.0 / kResampleHz) {
        while (k + 2 < times.size() && times[k + 1] <= t)
            ++k;
        const double span = times[k + 1] - times[k];
        const double w = span <= 0.0 ? 0.0 : std::clamp((t - times[k]) / span, 0.0, 1.0);
        out.push_back(values[k] + w * (values[k + 1] - values[k]));
    }
    return out;
}

// Removes the least-squares line, so a slow drift of the heart rate over the stage does not
// leak into the band.
void detrend(std::vector<double>& x) {
    const double n = static_cast<double>(x.size());
    if (x.size() < 2) return;
    const double meanIndex = (n - 1) / 2;
    const double meanValue = std::accumulate(x.begin(), x.end(), 0.0) / n;
    double sxy = 0.0, sxx = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxy += (static_cast<double>(i) - meanIndex) * (x[i] - meanValue);
        sxx += (static_cast<double>(i) - meanIndex) * (static_cast<double>(i) - meanIndex);
    }
    const double slope = sxy / sxx;
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] -= meanValue + slope * (static_cast<double>(i) - meanIndex);
}

double hann(std::size_t i, std::size_t n) {
    return 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n - 1));
}

// The windowed transform of the samples at frequency f (Hz).
std::complex<double> windowedTransform(const std::vector<double>& x, double f) {
    std::complex<double> sum = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
        sum += hann(i, x.size()) * x[i] *
               std::polar(1.0, -2.0 * kPi * f * static_cast<double>(i) / kResampleHz);
    return sum;
}

// The one-sided power (ms^2) between the band's edges: the periodogram, normalised by the
// window's energy so that a sine of amplitude A gives A^2 / 2, summed over a grid eight times
// finer than the stage's own resolution.
double bandPower(const std::vector<double>& x, double fromHz, double toHz) {
    double windowEnergy = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
        windowEnergy += hann(i, x.size()) * hann(i, x.size());
    const double df = kResampleHz / (8.0 * static_cast<double>(x.size()));
    double power = 0.0;
    for (double f = fromHz; f < toHz; f += df)
        power += 2.0 * std::norm(windowedTransform(x, f)) / (kResampleHz * windowEnergy) * df;
    return power;
}

std::optional<double> meanSwing(const std::vector<StageInterval>& series, std::int32_t& cycles) {
    std::map<std::int32_t, std::vector<double>> rates; // by cycle
    for (const StageInterval& s : series)
        rates[s.cycle].push_back(60000.0 / s.intervalMs);
    double sum = 0.0;
    cycles = 0;
    for (const auto& [cycle, r] : rates) {
        if (r.size() < kFewestIntervalsPerCycle) continue;
        const auto [low, high] = std::minmax_element(r.begin(), r.end());
        sum += *high - *low;
        ++cycles;
    }
    if (cycles == 0) return std::nullopt;
    return sum / cycles;
}

// Degrees by which the heart rate's swing at the breathing frequency follows the breath signal
// (1 breathing in, 0 out), in (-180, 180]. The breath state is read at each beat and drawn
// linearly between beats, and each heart rate stands in the middle of its interval: holding
// either would shift it by half a beat, 15 degrees at these rates.
std::optional<double> breathHeartPhase(const std::vector<FigureBeat>& beats,
                                       const std::vector<StageInterval>& series,
                                       double breathsPerMinute) {
    std::vector<double> breathTimes, breath;
    for (const FigureBeat& b : beats)
        if (b.breath >= 0) {
            breathTimes.push_back(static_cast<double>(b.ms) / 1000.0);
            breath.push_back(b.breath);
        }
    if (breath.size() * 3 < beats.size() * 2 || series.size() < 2) return std::nullopt;
    std::vector<double> rateTimes, rates;
    for (const StageInterval& s : series) {
        rateTimes.push_back(s.endS - s.intervalMs / 2000.0);
        rates.push_back(60000.0 / s.intervalMs);
    }
    // Both signals over the stretch they share, on the same 4 Hz grid.
    const double from = std::max(breathTimes.front(), rateTimes.front());
    const double to = std::min(breathTimes.back(), rateTimes.back());
    if (to - from < kShortestSpectrumS) return std::nullopt;
    std::vector<double> b = resample(breathTimes, breath, from, to);
    std::vector<double> h = resample(rateTimes, rates, from, to);
    detrend(b), detrend(h);
    const double f = breathsPerMinute / 60.0;
    const std::complex<double> B = windowedTransform(b, f), H = windowedTransform(h, f);
    if (std::abs(B) == 0.0 || std::abs(H) == 0.0) return std::nullopt;
    double lag = (std::arg(B) - std::arg(H)) * 180.0 / kPi;
    while (lag <= -180.0)
        lag += 360.0;
    while (lag > 180.0)
        lag -= 360.0;
    return lag;
}

} // namespace

std::vector<StageInterval> stageIntervalSeries(const std::vector<FigureBeat>& recorded) {
    // A missed beat would double an interval and swing the heart rate by half: the stage is
    // scored on the beats put right, as the figures are.
    const std::vector<FigureBeat> beats = beatsPutRight(recorded);
    std::vector<StageInterval> series;
    for (std::size_t i = 0; i < beats.size(); ++i)
        if (beatIsUsable(beats[i], i == 0))
            series.push_back({static_cast<double>(beats[i].ms) / 1000.0, beats[i].intervalMs,
                              beats[i - 1].cycle});
    return series;
}

StageScores scoreStage(const std::vector<FigureBeat>& beats, double breathsPerMinute) {
    StageScores scores;
    const std::vector<StageInterval> series = stageIntervalSeries(beats);
    scores.peakToTroughBpm = meanSwing(series, scores.cycles);
    if (series.size() >= 2 && series.back().endS - series.front().endS >= kShortestSpectrumS) {
        std::vector<double> times, intervals;
        for (const StageInterval& s : series)
            times.push_back(s.endS), intervals.push_back(s.intervalMs);
        std::vector<double> x = resample(times, intervals);
        detrend(x);
        scores.lowFrequencyMs2 = bandPower(x, kLowFrequencyFromHz, kLowFrequencyToHz);
    }
    scores.breathHeartPhaseDeg = breathHeartPhase(beats, series, breathsPerMinute);
    return scores;
}

std::optional<double> rankStages(std::vector<ResonanceStageResult>& stages) {
    std::vector<ResonanceStageResult*> ranked;
    for (ResonanceStageResult& s : stages) {
        s.rank = 0;
        // A heart that did not swing at all (a simulated one) says nothing about the rate.
        if (s.peakToTroughBpm > 0.0 && s.lowFrequencyMs2 > 0.0) ranked.push_back(&s);
    }
    if (ranked.empty()) return std::nullopt;
    // Rank 1 for the largest value; equal values share the better rank.
    auto rankBy = [&ranked](auto value) {
        std::map<const ResonanceStageResult*, int> rank;
        for (const ResonanceStageResult* s : ranked) {
            int r = 1;
            for (const ResonanceStageResult* other : ranked)
                if (value(*other) > value(*s)) ++r;
            rank[s] = r;
        }
        return rank;
    };
    auto bySwing = rankBy([](const ResonanceStageResult& s) { return *s.peakToTroughBpm; });
    auto byPower = rankBy([](const ResonanceStageResult& s) { return *s.lowFrequencyMs2; });
    std::stable_sort(ranked.begin(), ranked.end(), [&](const auto* a, const auto* b) {
        const int sumA = bySwing[a] + byPower[a], sumB = bySwing[b] + byPower[b];
        if (sumA != sumB) return sumA < sumB;
        return *a->peakToTroughBpm > *b->peakToTroughBpm;
    });
    for (std::size_t i = 0; i < ranked.size(); ++i)
        ranked[i]->rank = static_cast<std::int32_t>(i + 1);
    return ranked.front()->breathsPerMinute;
}

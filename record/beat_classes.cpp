// Beat classification by successive differences and the distance from the local median, each
// scaled by the local spread; then the series corrected beat by beat.
#include "record/beat_classes.hpp"

#include <algorithm>
#include <cmath>

namespace {

// The published constants: thresholds of 5.2 quartile deviations over 91 beats, a median of
// 11 beats, and the line that separates an ectopic beat's short-long pattern from noise.
constexpr double kAlpha = 5.2;
constexpr std::ptrdiff_t kSpreadHalfWindow = 45;
constexpr std::ptrdiff_t kMedianHalfWindow = 5;
constexpr double kEctopicSlope = 0.13;
constexpr double kEctopicOffset = 0.17;
constexpr double kMedianLimit = 3.0;
// A swing up and back down again (or down and up) is also an artefact when the interval lies
// this far from the median; breathing swings a resting heart by hundreds of milliseconds in a
// few beats, and without this bound the deepest of those troughs read as short beats.
constexpr double kReversalMedianLimit = 2.5;
// A rhythm as steady as a metronome has no spread at all; a threshold never falls below
// this share of the local median, so that a few milliseconds do not count as an artefact.
constexpr double kLeastThresholdShare = 0.02;

double quantile(std::vector<double>& values, double q) {
    std::sort(values.begin(), values.end());
    const double at = q * static_cast<double>(values.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(at));
    const std::size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (at - static_cast<double>(below));
}

// Per beat: `scale` times the quartile deviation of |values| over the window around it.
std::vector<double> localThresholds(const std::vector<double>& values,
                                    const std::vector<double>& medians) {
    const auto n = static_cast<std::ptrdiff_t>(values.size());
    std::vector<double> out(values.size());
    std::vector<double> window;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        window.clear();
        for (std::ptrdiff_t j = std::max<std::ptrdiff_t>(0, i - kSpreadHalfWindow);
             j <= std::min(n - 1, i + kSpreadHalfWindow); ++j)
            window.push_back(std::abs(values[static_cast<std::size_t>(j)]));
        const double deviation = (quantile(window, 0.75) - quantile(window, 0.25)) / 2.0;
        out[static_cast<std::size_t>(i)] =
            std::max(kAlpha * deviation, kLeastThresholdShare * medians[static_cast<std::size_t>(i)]);
    }
    return out;
}

std::vector<double> localMedians(const std::vector<double>& rr) {
    const auto n = static_cast<std::ptrdiff_t>(rr.size());
    std::vector<double> out(rr.size());
    std::vector<double> window;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        window.clear();
        for (std::ptrdiff_t j = std::max<std::ptrdiff_t>(0, i - kMedianHalfWindow);
             j <= std::min(n - 1, i + kMedianHalfWindow); ++j)
            window.push_back(rr[static_cast<std::size_t>(j)]);
        out[static_cast<std::size_t>(i)] = quantile(window, 0.5);
    }
    return out;
}

} // namespace

const char* beatClassName(BeatClass beatClass) {
    switch (beatClass) {
    case BeatClass::Normal: return "normal";
    case BeatClass::Ectopic: return "ectopic";
    case BeatClass::Missed: return "missed";
    case BeatClass::Extra: return "extra";
    case BeatClass::Long: return "long";
    case BeatClass::Short: return "short";
    }
    return "normal";
}

BeatClassification classifyBeats(const std::vector<double>& rr) {
    BeatClassification out;
    const std::size_t n = rr.size();
    out.classes.assign(n, BeatClass::Normal);
    out.replacementMs = rr;
    if (n < 3) {
        out.counts[0] = static_cast<int>(n);
        return out;
    }
    const std::vector<double> median = localMedians(rr);
    // Successive differences (the first beat has none) and distances from the median; a beat
    // below the median counts double, as the published method has it, since short intervals
    // deviate less than long ones for the same artefact.
    std::vector<double> difference(n, 0.0), fromMedian(n);
    for (std::size_t i = 1; i < n; ++i) difference[i] = rr[i] - rr[i - 1];
    for (std::size_t i = 0; i < n; ++i) {
        fromMedian[i] = rr[i] - median[i];
        if (fromMedian[i] < 0) fromMedian[i] *= 2.0;
    }
    const std::vector<double> th1 = localThresholds(difference, median);
    const std::vector<double> th2 = localThresholds(fromMedian, median);
    auto scaled = [&](std::ptrdiff_t i) {
        if (i < 0 || i >= static_cast<std::ptrdiff_t>(n)) return 0.0;
        const auto k = static_cast<std::size_t>(i);
        return difference[k] / th1[k];
    };

    for (std::size_t i = 0; i < n; ++i) {
        if (out.classes[i] != BeatClass::Normal) continue; // the second half of an extra beat
        const auto k = static_cast<std::ptrdiff_t>(i);
        const double s11 = scaled(k);
        const double s12 = s11 > 0 ? std::max(scaled(k - 1), scaled(k + 1))
                                   : std::min(scaled(k - 1), scaled(k + 1));
        const double s22 = s11 >= 0 ? std::min(scaled(k + 1), scaled(k + 2))
                                    : std::max(scaled(k + 1), scaled(k + 2));
        const bool ectopic = (s11 > 1 && s12 < -kEctopicSlope * s11 - kEctopicOffset) ||
                             (s11 < -1 && s12 > -kEctopicSlope * s11 + kEctopicOffset);
        if (ectopic) {
            // An early (or late) beat disturbs two intervals: this one and the neighbour whose
            // jump goes the other way the most (an early beat's short interval, then the
            // pause that makes up for it; or the other way round).
            const bool partnerAfter = s11 < 0 ? scaled(k + 1) >= scaled(k - 1)
                                              : scaled(k + 1) <= scaled(k - 1);
            out.classes[i] = BeatClass::Ectopic;
            if (partnerAfter && i + 1 < n) out.classes[i + 1] = BeatClass::Ectopic;
            else if (i > 0) out.classes[i - 1] = BeatClass::Ectopic;
            ++out.counts[static_cast<std::size_t>(BeatClass::Ectopic)];
            continue;
        }
        const double medianScaled = fromMedian[i] / th2[i];
        const bool reversal = std::abs(s11) > 1 && ((s11 > 0 && s22 < -1) || (s11 < 0 && s22 > 1));
        const bool jump = (reversal && std::abs(medianScaled) > kReversalMedianLimit) ||
                          std::abs(medianScaled) > kMedianLimit;
        if (!jump) continue;
        if (rr[i] > median[i]) {
            out.classes[i] =
                std::abs(rr[i] / 2.0 - median[i]) < th2[i] ? BeatClass::Missed : BeatClass::Long;
        } else if (i + 1 < n && std::abs(rr[i] + rr[i + 1] - median[i]) < th2[i]) {
            out.classes[i] = out.classes[i + 1] = BeatClass::Extra;
            ++out.counts[static_cast<std::size_t>(BeatClass::Extra)];
            continue;
        } else {
            out.classes[i] = BeatClass::Short;
        }
    }

    // A bad interval is replaced by the line between its nearest normal neighbours (the
    // local median where it has none on one side).
    auto good = [&](std::size_t i) { return out.classes[i] == BeatClass::Normal; };
    out.replacementMs = rr;
    for (std::size_t i = 0; i < n; ++i) {
        const BeatClass c = out.classes[i];
        if (c != BeatClass::Extra && c != BeatClass::Ectopic) ++out.counts[static_cast<std::size_t>(c)];
        if (c == BeatClass::Normal || c == BeatClass::Missed || c == BeatClass::Extra) continue;
        auto before = static_cast<std::ptrdiff_t>(i) - 1;
        auto after = static_cast<std::ptrdiff_t>(i) + 1;
        while (before >= 0 && !good(static_cast<std::size_t>(before))) --before;
        while (after < static_cast<std::ptrdiff_t>(n) && !good(static_cast<std::size_t>(after))) ++after;
        double value = median[i];
        if (before >= 0 && after < static_cast<std::ptrdiff_t>(n)) {
            const double share = static_cast<double>(static_cast<std::ptrdiff_t>(i) - before) /
                                 static_cast<double>(after - before);
            value = rr[static_cast<std::size_t>(before)] +
                    share * (rr[static_cast<std::size_t>(after)] - rr[static_cast<std::size_t>(before)]);
        }
        out.replacementMs[i] = value;
    }
    return out;
}

std::vector<double> correctedSeries(const std::vector<double>& rr,
                                    const BeatClassification& classification) {
    std::vector<double> out;
    for (std::size_t i = 0; i < rr.size(); ++i) {
        const BeatClass c = classification.classes[i];
        if (c == BeatClass::Missed) {
            out.push_back(rr[i] / 2.0);
            out.push_back(rr[i] / 2.0);
        } else if (c == BeatClass::Extra && i + 1 < rr.size() &&
                   classification.classes[i + 1] == BeatClass::Extra) {
            out.push_back(rr[i] + rr[i + 1]);
            ++i;
        } else {
            out.push_back(classification.replacementMs[i]);
        }
    }
    return out;
}

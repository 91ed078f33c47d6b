// Which beats of a heart rhythm a strap or the heart got wrong, and the series put right.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Missed: the strap did not see a beat, so one interval spans two. Extra: it saw a beat that
// was none, so two intervals split one. Ectopic: the heart beat early and paused after. Long
// and short: an interval far off its neighbours that is none of these.
enum class BeatClass : std::uint8_t { Normal, Ectopic, Missed, Extra, Long, Short };
constexpr std::size_t kBeatClassCount = 6;

// "normal", "ectopic", "missed", "extra", "long", "short": the record's words.
const char* beatClassName(BeatClass beatClass);

struct BeatClassification {
    // One per interval given: the class of the beat that ends it. An extra beat marks both
    // intervals it splits; an ectopic beat marks its own interval and the one after it, which
    // its early (or late) coming lengthens or shortens.
    std::vector<BeatClass> classes;
    // One per interval: what an ectopic, long or short interval is put right to (the line
    // between its nearest normal neighbours, or the local median where it has none on one
    // side); the interval itself for every other class. A missed beat's interval is put right
    // by splitting it in two halves, an extra beat's pair by joining them: see correctedSeries.
    std::vector<double> replacementMs;
    // How many beats of each class were found (an extra or ectopic beat counts once).
    std::array<int, kBeatClassCount> counts{};
};

// Classifies each beat by how its interval differs from the one before and after (the
// successive differences) and from the median of its eleven neighbours, each measured against
// the spread of the 91 beats around it, following Lipponen and Tarvainen (2019): a pattern of
// short-long (or long-short) around a beat is ectopic; an interval far from the median that is
// about twice it is a missed beat, one that makes the median with the next is an extra beat,
// otherwise long or short. Intervals of a heart rhythm in ms, in order; any length.
BeatClassification classifyBeats(const std::vector<double>& intervalsMs);

// The intervals put right, in order: a missed beat's interval in two halves, an extra beat's
// two intervals as one, the rest as `replacementMs` says. Its length may differ from the input's.
std::vector<double> correctedSeries(const std::vector<double>& intervalsMs,
                                    const BeatClassification& classification);

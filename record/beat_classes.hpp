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
    // One per interval given: the class of the beat that ends it. For an extra beat the
    // interval after it is merged into its own and marked the same; so is the interval after
    // an ectopic beat, which its pause lengthens or shortens.
    std::vector<BeatClass> classes;
    // The intervals put right (ms): a missed beat's interval split in two halves, an extra
    // beat's merged with the next, ectopic, long and short ones replaced by the line between
    // their good neighbours. Its length may differ from the input's.
    std::vector<double> correctedMs;
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

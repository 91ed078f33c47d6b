// Reading a recorded heart rhythm: the beat-to-beat intervals of a text, CSV or .hrm file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brix {

// Intervals outside this range are no heartbeat (300/min to 20/min): a sensor's glitch (a
// 0 where a beat went unmeasured, a pause of a minute) that the replay leaves out.
constexpr double kShortestIntervalMs = 200.0;
constexpr double kLongestIntervalMs = 3000.0;

struct Recording {
    std::vector<double> intervalsMs; // in the order recorded; empty when `error` is set
    // Per interval, the breathing at its beat: 1 in, 0 out, -1 no value (the breath sensor
    // not ready). Empty when the file has no breath column or no value in it.
    std::vector<signed char> breath;
    std::size_t skipped = 0; // glitches left out (outside the heartbeat range), with their breath
    std::string error;       // one line naming the problem (and its line), or empty
};

// Reads the intervals from a file's whole text. Accepted forms:
//  - one interval per line, all in milliseconds or all in seconds (told apart by their
//    median: below 10 means seconds); '#' starts a comment; blank lines are skipped;
//  - CSV (comma, semicolon or tab) with a header naming an interval column: rr, ibi, rr_ms,
//    RR-interval and the like, or interval_ms (the program's own session record) where none
//    of those is there; a breath column (1, 0 or empty) is kept; the other columns are ignored;
//  - a heart-rate-monitor file whose [Params] say Interval=238: its [HRData] lines hold the
//    intervals in milliseconds (the first column).
// A file with no interval in the heartbeat range is refused. Never throws; any text gives
// either intervals or an error.
Recording readRecording(std::string_view text);

} // namespace brix

// When each beat is shown: a constant delay after its place on the chain of its own intervals.
#pragma once

#include <cstdint>
#include <vector>

namespace brix {

// A strap measures each interval exactly but sends its beats late and in batches (every
// second or every few seconds). Placed on the chain of their intervals, the beats of a stretch
// keep their spacing; shown a constant delay after their place, they come out evenly. A
// beat that arrives after its moment is shown at once, with its own interval.
//
// The delay is learned from the first notifications of the run (how often the strap sends,
// how late its beats come): until then no beat is shown. A stretch ends with a contact loss,
// a silence, a drop or a reconnect; the next begins with the delay learned in the one before
// and a chain of its own, and its first beat is a gap's. Within a stretch the delay never
// changes.
//
// Not thread-safe: the link's sink owns it under its lock. Times are milliseconds on the
// program's clock.
class BeatSchedule {
  public:
    struct Shown {
        std::int64_t at;   // when its pulse rises
        double intervalMs; // as the sensor measured it
        bool gap;          // the first of its stretch: the beat before it lies across a gap
    };

    // Room for the machine's own lateness (a notification handled late on a busy machine).
    static constexpr std::int64_t kMarginMs = 100;
    // Notifications a delay is learned from: two gaps between them.
    static constexpr int kLearnNotifications = 3;

    // A new stretch.
    void restart();

    // True while a batching sensor's first notifications of the run are still being learned
    // from; its beats wait (those still ahead are shown once the delay is known).
    bool learning() const { return batched_ && delay_ < 0; }
    // The delay from a beat's place to its rise in this stretch, ms; -1 until it is known.
    std::int64_t delayMs() const { return delay_; }

    // A notification that arrived at `arrived` with these intervals (perhaps none): the beats
    // to show, in order.
    std::vector<Shown> batch(const std::vector<double>& rrMs, std::int64_t arrived);

    // A beat handed over at its own moment (a recording): shown then.
    Shown timed(double rrMs, std::int64_t moment);

  private:
    struct Placed {
        double chainMs; // its place on the chain
        std::int64_t arrived;
        double intervalMs;
    };
    Shown show(std::int64_t at, double intervalMs);
    void measure();
    std::vector<Shown> place(const std::vector<Placed>& beats, std::int64_t arrived);

    std::int64_t delay_ = -1;    // in use in this stretch
    std::int64_t measured_ = -1; // learned from this stretch's first notifications
    bool batched_ = false;
    bool anchored_ = false;
    bool firstOfStretch_ = true;
    int notifications_ = 0;
    std::int64_t lastNotification_ = 0;
    std::int64_t longestGap_ = 0;
    std::int64_t shortestGap_ = INT64_MAX;
    std::vector<Placed> learnedFrom_; // the stretch's first beats, until measured
    double leastLearnedLag_ = 0.0;    // arrival minus place, the least of those beats
    double chainMs_ = 0.0;            // the intervals since the stretch's first beat, summed
    double anchor_ = 0.0;             // the program time where the chain begins
    int lateBatches_ = 0;             // batches in a row whose every beat came after its moment
    int earlyBatches_ = 0;          // ... whose every beat came well before it: the chain ran ahead
    double previousLeastLag_ = 0.0; // of the last batch with beats
};

} // namespace brix

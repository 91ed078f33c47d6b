// When each beat is shown: a constant delay after its place on the chain of its own intervals.
#pragma once

#include <cstdint>
#include <vector>

namespace brix {

// A strap measures each interval exactly but sends its beats late and in batches (every
// second or every few seconds). Placed on the chain of their intervals, the beats of a stretch
// keep their spacing; shown a constant delay after their place, they come out evenly. The
// delay is learned from the first notifications of each stretch (how often the strap sends,
// how late its beats come) and kept until the stretch ends: a contact loss, a silence, a
// drop or a reconnect begins a new one. A beat that arrives after its moment is shown at
// once, with its own interval.
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
    // Notifications heard before the delay is chosen: two gaps between them.
    static constexpr int kLearnNotifications = 3;

    // A new stretch: the delay is learned again, and its first beat is a gap's.
    void restart();

    // True while a batching sensor's first notifications are still being learned from; its
    // beats wait (those still ahead are shown once the delay is known).
    bool learning() const { return batched_ && !learned_; }
    // The delay from a beat's place to its rise, ms; -1 until it is known.
    std::int64_t delayMs() const { return learned_ ? delay_ : -1; }

    // A notification that arrived at `arrived` with these intervals (perhaps none): the beats
    // to show, in order.
    std::vector<Shown> batch(const std::vector<double>& rrMs, std::int64_t arrived);

    // A beat handed over at its own moment (a recording): shown then.
    Shown timed(double rrMs, std::int64_t moment);

  private:
    struct Waiting {
        double chainMs; // its place on the chain
        std::int64_t arrived;
        double intervalMs;
    };
    Shown show(std::int64_t at, double intervalMs);
    std::vector<Shown> learnFrom(std::int64_t now);

    bool batched_ = false;
    bool learned_ = false;
    bool firstOfStretch_ = true;
    int notifications_ = 0;
    std::int64_t lastNotification_ = 0;
    std::int64_t longestGap_ = 0;
    std::vector<Waiting> waiting_;
    double chainMs_ = 0.0; // the intervals since the stretch's first beat, summed
    double anchor_ = 0.0;  // the program time where the chain begins
    std::int64_t delay_ = 0;
    int lateBatches_ = 0;  // batches in a row whose every beat came after its moment
    int earlyBatches_ = 0; // ... whose every beat came well before it: the chain ran ahead
    double previousLeastLag_ = 0.0; // of the last batch with beats: arrival minus chain
};

} // namespace brix

// The beat schedule against a simulated strap: real intervals sent in batches with jitter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <vector>

#include "link/beat_schedule.hpp"
#include "support/test_support.hpp"

namespace {

using Shown = brix::BeatSchedule::Shown;

std::vector<double> realIntervals(std::size_t count) {
    std::ifstream in(testdataDir() / "rr" / "real_rri.txt");
    std::vector<double> out;
    for (double ms = 0; out.size() < count && in >> ms;)
        out.push_back(ms);
    return out;
}

// A strap whose heart beats at moments[k] (ms) and which notifies every periodMs, give or
// take jitterMs, with the intervals of the beats that ended since its last notification.
struct Strap {
    std::vector<double> rr;
    std::vector<double> moments;
    double periodMs, jitterMs;
    std::size_t next = 0;
    double at = 0;
    std::mt19937 random{21};

    Strap(std::vector<double> intervals, double period, double jitter)
        : rr(std::move(intervals)), periodMs(period), jitterMs(jitter) {
        double t = 0;
        for (const double ms : rr)
            moments.push_back(t += ms);
    }
    // The next notification: its time and the beats it brings (their indexes).
    std::vector<std::size_t> notify() {
        at += periodMs + std::uniform_real_distribution<double>(-jitterMs, jitterMs)(random);
        std::vector<std::size_t> beats;
        while (next < rr.size() && moments[next] <= at)
            beats.push_back(next++);
        return beats;
    }
};

struct Outcome {
    std::vector<std::size_t> beat; // which of the strap's beats each shown one is
    std::vector<Shown> shown;
    std::vector<double> delay; // from the beat's moment to its rise, ms
};

// Feeds the strap's notifications to the schedule until `until` ms; `skip` beats are never
// sent (lost by the strap).
Outcome play(brix::BeatSchedule& schedule, Strap& strap, double until,
             const std::vector<std::size_t>& skip = {}) {
    Outcome out;
    while (strap.at < until && strap.next < strap.rr.size()) {
        std::vector<double> sent;
        std::vector<std::size_t> which;
        for (const std::size_t k : strap.notify()) {
            if (std::find(skip.begin(), skip.end(), k) != skip.end()) continue;
            sent.push_back(strap.rr[k]);
            which.push_back(k);
        }
        const auto arrived = static_cast<std::int64_t>(strap.at);
        const std::vector<Shown> shown = schedule.batch(sent, arrived);
        for (const Shown& beat : shown) {
            out.shown.push_back(beat);
            EXPECT_GE(beat.at, arrived) << "a beat shown before it arrived";
        }
        // The schedule shows the last beats it was given, in order.
        if (shown.size() <= which.size()) {
            for (std::size_t i = which.size() - shown.size(); i < which.size(); ++i)
                out.beat.push_back(which[i]);
        } else {
            // The first shown after learning may include beats of earlier notifications:
            // they are the beats just before this notification's, in order.
            const std::size_t first =
                (which.empty() ? strap.next : which.front()) - (shown.size() - which.size());
            for (std::size_t i = 0; i < shown.size(); ++i)
                out.beat.push_back(first + i);
        }
    }
    for (std::size_t i = 0; i < out.shown.size(); ++i)
        out.delay.push_back(static_cast<double>(out.shown[i].at) - strap.moments[out.beat[i]]);
    return out;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

// Whether the strap sends every second or every three seconds, with a quarter second of
// jitter: each shown beat carries its own interval, in the strap's order, and rises a
// constant delay after it happened (so the rises keep the heart's spacing); the delay is
// what the batching needs, no more. Only the beats that passed while the delay was being
// learned are left out, and the first shown is a gap's.
TEST(BeatSchedule, BatchesComeOutEvenlyAtAConstantDelayThatFitsTheBatching) {
    for (const double period : {1000.0, 3000.0}) {
        SCOPED_TRACE(period);
        Strap strap(realIntervals(200), period, 250);
        brix::BeatSchedule schedule;
        const Outcome out = play(schedule, strap, 150'000);
        ASSERT_GT(out.shown.size(), 120u);
        EXPECT_LE(schedule.delayMs(), period + 500 + brix::BeatSchedule::kMarginMs);
        EXPECT_GE(schedule.delayMs(), period - 250);
        for (std::size_t i = 0; i < out.shown.size(); ++i) {
            EXPECT_EQ(out.shown[i].intervalMs, strap.rr[out.beat[i]]) << i;
            EXPECT_EQ(out.shown[i].gap, i == 0) << i;
            if (i > 0) EXPECT_EQ(out.beat[i], out.beat[i - 1] + 1) << "beat left out or invented";
        }
        const double typical = median(out.delay);
        std::size_t off = 0;
        for (const double d : out.delay)
            off += std::abs(d - typical) > 1.0 ? 1 : 0;
        EXPECT_LE(off, out.delay.size() / 20) << "beats not at the constant delay";
        // The chain begins at the least late beat heard while learning, at most a batch late.
        EXPECT_LE(typical, static_cast<double>(schedule.delayMs()) + period);
    }
}

// Two beats the strap never sent leave the chain behind: the beats after them are shown at once
// (late, with their own intervals) for at most two notifications, then the chain follows and
// the delay is constant again. A new stretch begins at once with a gap and the delay learned
// before; one learned in it serves the stretch after.
TEST(BeatSchedule, FollowsALostBeatAndBeginsEachStretchWithTheDelayLearnedBefore) {
    Strap strap(realIntervals(160), 1000, 100);
    brix::BeatSchedule schedule;
    play(schedule, strap, 30'000);
    const auto learned = schedule.delayMs();
    const Outcome across = play(schedule, strap, 60'000, {strap.next + 3, strap.next + 4});
    ASSERT_GT(across.shown.size(), 20u);
    std::size_t late = 0;
    for (std::size_t i = 0; i < across.shown.size(); ++i) {
        EXPECT_EQ(across.shown[i].intervalMs, strap.rr[across.beat[i]]);
        EXPECT_FALSE(across.shown[i].gap);
        // Neither at the delay before the loss nor at the one after it.
        if (std::abs(across.delay[i] - across.delay.back()) > 1.0 &&
            std::abs(across.delay[i] - across.delay.front()) > 1.0)
            ++late;
    }
    EXPECT_GT(late, 0u) << "the lost beats made the ones after them late";
    EXPECT_LE(late, 8u) << "for two notifications, not for good";
    const std::vector<double> tail(across.delay.end() - 10, across.delay.end());
    EXPECT_LT(*std::max_element(tail.begin(), tail.end()) -
                  *std::min_element(tail.begin(), tail.end()),
              1.0)
        << "the delay is constant again";
    EXPECT_EQ(schedule.delayMs(), learned) << "the delay itself never moves within a stretch";

    schedule.restart(); // contact lost and back: the strap now sends every 3 s
    strap.periodMs = 3000;
    const std::size_t resumed = strap.next;
    const Outcome after = play(schedule, strap, 100'000);
    ASSERT_FALSE(after.shown.empty());
    EXPECT_TRUE(after.shown[0].gap);
    EXPECT_EQ(after.beat[0], resumed) << "a stretch with a known delay shows its first beats";
    EXPECT_EQ(schedule.delayMs(), learned);
    schedule.restart();
    EXPECT_GT(schedule.delayMs(), learned + 1500) << "the next stretch fits the new batching";
}

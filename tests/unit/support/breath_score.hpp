// How well the breath detector follows a synthetic chest: agreement, turn latency, flicker.
#pragma once

#include "bluetooth/breath_detector.hpp"
#include "chest_signal.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

struct BreathScore {
    double readyAtS = -1.0;    // first "ready"; negative: never
    double agreement = 0.0;    // share of ready time (outside movement) read right
    double readyShare = 0.0;   // share of the time after the first ready, outside movement
    double medianLatencyS = 0; // detector's turn minus the true turn (negative: early)
    double worstLatencyS = 0;  // the largest in size
    int turns = 0;             // true turns while ready
    int missed = 0;            // ... with no matching turn of the detector
    int extraFlips = 0;        // detector turns matching no true turn
    double searchingInMovement = 1.0; // share of the movement time not "ready"
};

inline BreathScore scoreBreathDetector(const ChestOptions& options, double seconds) {
    ChestSignal chest(options);
    const auto samples = chest.samples(seconds);
    brix::BreathDetector detector;
    BreathScore score;
    struct Flip {
        double timeS;
        bool in;
    };
    std::vector<Flip> flips;
    std::vector<bool> readyAt(samples.size());
    long agreeing = 0, readySamples = 0, afterFirstReady = 0, moved = 0, movedReady = 0;
    bool lastIn = detector.breathingIn();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto& s = samples[i];
        detector.add(s.timeS, s.x, s.y, s.z);
        const bool ready = detector.status() == brix::BreathDetector::kReady;
        readyAt[i] = ready;
        if (ready && score.readyAtS < 0) score.readyAtS = s.timeS;
        if (detector.breathingIn() != lastIn) {
            lastIn = detector.breathingIn();
            if (ready) flips.push_back({detector.changeTimeS(), lastIn});
        }
        if (chest.moving(s.timeS)) {
            ++moved;
            if (ready) ++movedReady;
            continue;
        }
        if (score.readyAtS < 0) continue;
        ++afterFirstReady;
        if (!ready) continue;
        ++readySamples;
        if (detector.breathingIn() == chest.breathingIn(s.timeS)) ++agreeing;
    }
    auto share = [](long part, long whole) {
        return whole ? static_cast<double>(part) / static_cast<double>(whole) : 0.0;
    };
    score.agreement = share(agreeing, readySamples);
    score.readyShare = share(readySamples, afterFirstReady);
    if (moved) score.searchingInMovement = 1.0 - share(movedReady, moved);

    auto readyNear = [&](double timeS) {
        const auto i = static_cast<std::size_t>(timeS * options.sampleRateHz);
        return i < readyAt.size() && readyAt[i];
    };
    const auto turns = chest.turns(seconds);
    std::vector<double> latencies;
    std::vector<bool> matched(flips.size());
    for (std::size_t k = 0; k + 1 < turns.size(); ++k) {
        const double turn = turns[k];
        if (!readyNear(turn - 1.0) || !readyNear(turns[k + 1]) || chest.moving(turn)) continue;
        const bool into = chest.breathingIn(turn + 1e-6);
        ++score.turns;
        bool found = false;
        for (std::size_t f = 0; f < flips.size(); ++f) {
            if (matched[f] || flips[f].in != into) continue;
            if (flips[f].timeS < turn - 1.5 || flips[f].timeS >= turns[k + 1]) continue;
            matched[f] = true;
            latencies.push_back(flips[f].timeS - turn);
            found = true;
            break;
        }
        if (!found) ++score.missed;
    }
    for (std::size_t f = 0; f < flips.size(); ++f)
        // The last turn is never matched, and its flip may be placed a little before it.
        if (!matched[f] && flips[f].timeS > turns.front() && flips[f].timeS < turns.back() - 0.5 &&
            !chest.moving(flips[f].timeS))
            ++score.extraFlips;
    if (!latencies.empty()) {
        std::vector<double> sorted = latencies;
        std::sort(sorted.begin(), sorted.end());
        score.medianLatencyS = sorted[sorted.size() / 2];
        for (const double l : latencies)
            if (std::fabs(l) > std::fabs(score.worstLatencyS)) score.worstLatencyS = l;
    }
    return score;
}

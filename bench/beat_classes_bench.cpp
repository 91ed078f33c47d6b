// How well the beat classes find artefacts: missed, extra and ectopic beats put into a real
// resting rhythm at random places (found / put in, false alarms per 1,000 beats), and what
// the correction does to the figures of the clean rhythm, the spoilt one and a real recording
// from a strap with artefacts of its own.
#include "brix/sources/recording_reader.hpp"
#include "record/hrv_figures.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<double> readIntervals(const std::string& path, std::size_t* skipped = nullptr) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const brix::Recording recording = brix::readRecording(text.str());
    if (!recording.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), recording.error.c_str());
        std::exit(1);
    }
    if (skipped) *skipped = recording.skipped;
    return recording.intervalsMs;
}

std::vector<FigureBeat> beatsOf(const std::vector<double>& intervals) {
    std::vector<FigureBeat> beats;
    for (double ms : intervals) beats.push_back({ms, 0, 1});
    return beats;
}

// RMSSD of the intervals as they are, every one counted: what the figures gave before.
double rawRmssd(const std::vector<double>& x) {
    double sum = 0.0;
    for (std::size_t i = 1; i < x.size(); ++i) sum += (x[i] - x[i - 1]) * (x[i] - x[i - 1]);
    return std::sqrt(sum / static_cast<double>(x.size() - 1));
}

enum class Kind { Missed, Extra, Ectopic };

struct Trial {
    int inserted = 0, found = 0, falseAlarms = 0, beats = 0;
    double rmssdRaw = 0, rmssdCorrected = 0;
};

// Puts `count` artefacts of one kind at least 30 beats apart and classifies the result. An
// artefact is found when its beat (or its pair) gets its own class; any other beat that is
// not normal, and not within one beat of an artefact, is a false alarm.
Trial trial(const std::vector<double>& clean, Kind kind, int count, std::mt19937& random) {
    std::vector<double> rr = clean;
    std::set<std::size_t> at;
    std::uniform_int_distribution<std::size_t> place(50, clean.size() - 50);
    while (static_cast<int>(at.size()) < count) {
        const std::size_t p = place(random);
        bool apart = true;
        for (std::size_t q : at)
            if ((p > q ? p - q : q - p) < 30) apart = false;
        if (apart) at.insert(p);
    }
    std::uniform_real_distribution<double> share(0.2, 0.5), early(0.6, 0.8);
    std::vector<std::size_t> where; // in the spoilt series, in order
    std::ptrdiff_t shift = 0;
    for (std::size_t p : at) {
        const auto i = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(p) + shift);
        if (kind == Kind::Missed) {
            rr[i] += rr[i + 1];
            rr.erase(rr.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            --shift;
        } else if (kind == Kind::Extra) {
            const double whole = rr[i], part = whole * share(random);
            rr[i] = part;
            rr.insert(rr.begin() + static_cast<std::ptrdiff_t>(i) + 1, whole - part);
            ++shift;
        } else {
            const double cut = rr[i] * (1.0 - early(random));
            rr[i] -= cut;
            rr[i + 1] += cut;
        }
        where.push_back(i);
    }
    const BeatClass expected = kind == Kind::Missed  ? BeatClass::Missed
                               : kind == Kind::Extra ? BeatClass::Extra
                                                     : BeatClass::Ectopic;
    const BeatClassification c = classifyBeats(rr);
    Trial t;
    t.inserted = count;
    t.beats = static_cast<int>(rr.size());
    std::vector<bool> near(rr.size(), false);
    for (std::size_t i : where) {
        for (std::size_t j = i > 0 ? i - 1 : 0; j <= i + 2 && j < rr.size(); ++j) near[j] = true;
        if (c.classes[i] == expected || (i + 1 < rr.size() && c.classes[i + 1] == expected)) ++t.found;
    }
    for (std::size_t i = 0; i < rr.size(); ++i)
        if (c.classes[i] != BeatClass::Normal && !near[i]) ++t.falseAlarms;
    t.rmssdRaw = rawRmssd(rr);
    t.rmssdCorrected = *computeHrvFigures(beatsOf(rr)).rmssdMs;
    return t;
}

void figuresRow(const char* name, const std::vector<double>& rr) {
    const HrvFigures f = computeHrvFigures(beatsOf(rr));
    std::printf("| %s | %zu | %.1f | %.1f | %.1f |", name, rr.size(), rawRmssd(rr), *f.rmssdMs,
                *f.sdnnMs);
    for (std::size_t k = 1; k < kBeatClassCount; ++k)
        std::printf(" %lld |", static_cast<long long>(f.corrected[k]));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    const std::string data = argc > 1 ? argv[1] : HALVENT_TESTDATA_DIR;
    const int turns = argc > 2 ? std::atoi(argv[2]) : 200;
    const std::vector<double> clean = readIntervals(data + "/rr/real_rri.txt");
    std::size_t glitches = 0; // no heartbeat at all (below 200 or above 3000 ms): left out
    const std::vector<double> noisy = readIntervals(data + "/rr/noisy_rri.hrm", &glitches);

    std::mt19937 random(2019);
    std::printf("| put in (%d turns of 5 in a %zu-beat resting rhythm) | found / put in | false "
                "alarms per 1,000 beats | RMSSD raw, median ms | corrected |\n|---|---:|---:|---:|---:|\n",
                turns, clean.size());
    const char* names[] = {"missed", "extra", "ectopic"};
    for (int k = 0; k < 3; ++k) {
        int inserted = 0, found = 0, alarms = 0, beats = 0;
        std::vector<double> raw, corrected;
        for (int turn = 0; turn < turns; ++turn) {
            const Trial t = trial(clean, static_cast<Kind>(k), 5, random);
            inserted += t.inserted, found += t.found, alarms += t.falseAlarms, beats += t.beats;
            raw.push_back(t.rmssdRaw);
            corrected.push_back(t.rmssdCorrected);
        }
        std::sort(raw.begin(), raw.end());
        std::sort(corrected.begin(), corrected.end());
        std::printf("| %s | %d / %d (%.1f %%) | %.1f | %.1f | %.1f |\n", names[k], found, inserted,
                    100.0 * found / inserted, 1000.0 * alarms / beats, raw[raw.size() / 2],
                    corrected[corrected.size() / 2]);
    }
    std::printf("\n| recording | beats | RMSSD raw ms | corrected | SDNN corrected ms | ectopic | "
                "missed | extra | long | short |\n|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    figuresRow("resting rhythm, clean", clean);
    const std::string noisyName = "strap with artefacts (noisy_rri.hrm; " +
                                  std::to_string(glitches) + " glitches left out on reading)";
    figuresRow(noisyName.c_str(), noisy);
    return 0;
}

// Training at the breathing-rate test's result: the winning rate is paced at the heart rate
// measured before each session, so the formula follows the pulse from one session to the next.
#pragma once

#include <optional>
#include <string>

#include "training/presets.hpp"

class RecentHeartRate;
struct SensorBeat;

// The result's file in the working folder, beside menu.cfg.
inline constexpr const char* kResonanceResultFile = "./resonance.json";

// Every beat the sensor reports, whatever the screen shows, goes to the recent heart rate.
void noteHeartBeat(const SensorBeat& beat);
const RecentHeartRate& recentHeartRate();

// The rate a result file names as its winner, and the formula the test gave it (for the time
// before a heart rate is measured).
struct TrainingRate {
    double breathsPerMinute = 0.0;
    BreathFormula formula{};
};

// Reads the result file; empty, with a one-line reason in `error` that names the file, when it
// is missing, does not parse or names no winner.
std::optional<TrainingRate> readTrainingRate(const std::string& path, std::string& error);

// From now on each session paces `breathsPerMinute`; `formula` until a rate is measured.
void trainAtRate(double breathsPerMinute, const BreathFormula& formula);

// Before a session starts: while training at a rate, its formula worked out again from the
// heart rate now. A formula the user changed in the menu since (a stepper, a goal) ends
// training at the rate and is kept.
void applyRateFormula();

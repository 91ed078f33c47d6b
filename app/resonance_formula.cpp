// The formula of the winning rate, worked out again before every session.
#include "app/resonance_formula.hpp"

#include "gui/gui.hpp"
#include "record/resonance_result.hpp"
#include "training/recent_heart_rate.hpp"
#include "training/resonance_stages.hpp"

namespace {

RecentHeartRate heartRate;
std::optional<double> pacedRate; // breaths a minute while training at a rate
BreathFormula formulaSet{};      // the formula last set for it, to see the user's own changes

void setFormula(const BreathFormula& formula) {
    gui.session.phaseBeats = formula;
    formulaSet = formula;
}

} // namespace

void noteHeartBeat(const SensorBeat& beat) {
    heartRate.add(beat);
}

const RecentHeartRate& recentHeartRate() {
    return heartRate;
}

std::optional<TrainingRate> readTrainingRate(const std::string& path, std::string& error) {
    const std::optional<ResonanceResult> result = readResonanceResult(path, error);
    if (!result) return std::nullopt;
    const std::optional<double> rate = result->winnerBreathsPerMinute;
    // A rate outside what a person can be paced at is no result of the test.
    if (!rate || !(*rate >= 1.0 && *rate <= 30.0)) {
        error = path + " names no breathing rate to train at";
        return std::nullopt;
    }
    // Until a heart rate is measured: the formula the test itself gave the winner.
    TrainingRate training{*rate, formulaForRate(60.0, *rate)};
    for (const ResonanceStageResult& stage : result->stages)
        if (stage.breathsPerMinute == *rate && stage.heartRateBefore >= 30.0 &&
            stage.heartRateBefore <= 200.0)
            training.formula = formulaForRate(stage.heartRateBefore, *rate);
    return training;
}

void trainAtRate(double breathsPerMinute, const BreathFormula& formula) {
    pacedRate = breathsPerMinute;
    setFormula(formula);
}

void applyRateFormula() {
    if (!pacedRate) return;
    if (gui.session.phaseBeats != formulaSet) {
        pacedRate.reset();
        return;
    }
    if (const std::optional<double> bpm = heartRate.bpm())
        setFormula(formulaForRate(*bpm, *pacedRate));
}

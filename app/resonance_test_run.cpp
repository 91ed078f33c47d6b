// The breathing-rate test's run: its stages one after the other, each scored as it ends, and the
// result given to the user.
#include "app/resonance_test_run.hpp"

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "app/resonance_formula.hpp"
#include "app/session_flow.hpp"
#include "gui/gui.hpp"
#include "platform/console.hpp"
#include "platform/cp1251.hpp"
#include "platform/message_box.hpp"
#include "platform/ticks.hpp"
#include "record/resonance_analysis.hpp"
#include "record/resonance_result.hpp"
#include "training/recent_heart_rate.hpp"
#include "training/resonance_stages.hpp"
#include "training/session_record.hpp"

namespace {

struct TestRun {
    bool running = false;
    bool measuring = false; // the heart rate before the first stage is not known yet
    double stageSeconds = kResonanceStageSeconds;
    std::size_t stage = 0;
    std::uint32_t stageStartTick = 0;
    std::vector<FigureBeat> beats; // the stage's, for its scores
    ResonanceResult result;
    std::string fileStem; // the start time, for the result's name beside the records
    // What the menu had before the test, given back at its end.
    BreathFormula formulaBefore{};
    std::int32_t cyclesBefore = 10;
};

TestRun run;

const char* kBoxCaption = "Тест частоты дыхания"_cp1251;

// "6,5": one decimal, with the comma Russian writes.
std::string decimal(double value, int digits = 1) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    std::string s = text;
    for (char& c : s)
        if (c == '.') c = ',';
    return s;
}

std::string formulaText(const std::int32_t (&f)[4]) {
    return std::to_string(f[0]) + "-" + std::to_string(f[1]) + "-" + std::to_string(f[2]) + "-" +
           std::to_string(f[3]);
}

void restoreMenuSettings() {
    gui.session.phaseBeats = run.formulaBefore;
    gui.session.cyclesSetting = run.cyclesBefore;
    gui.session.cyclesLeft = run.cyclesBefore;
    gui.trainingCaption.clear();
    gui.inMenu = 1;
    run.running = false;
}

void beginStage(std::size_t stage, double heartRate) {
    const double rate = kResonanceRates[stage];
    const BreathFormula formula = formulaForRate(heartRate, rate);
    run.stage = stage;
    gui.session.phaseBeats = formula;
    gui.session.cyclesSetting = cyclesForSeconds(formula, heartRate, run.stageSeconds);
    beginSession();
    run.stageStartTick = tickMs(); // the record's times count from here too
    run.beats.clear();

    ResonanceStageResult entry;
    entry.breathsPerMinute = rate;
    for (std::size_t i = 0; i < 4; ++i)
        entry.formula[i] = formula[i];
    entry.heartRateBefore = heartRate;
    const std::string& csv = sessionRecorder.csvPath();
    entry.record = csv.substr(csv.rfind('/') + 1); // empty when unrecorded
    run.result.stages.push_back(entry);

    gui.trainingCaption = "Этап "_cp1251 + std::to_string(stage + 1) + " из "_cp1251 +
                          std::to_string(kResonanceRates.size()) + ": " + decimal(rate) +
                          " вдоха в минуту"_cp1251; // a fraction takes the singular
}

// The box at the end: each rate with its scores, the winner and how to train at it. A box does
// not wrap its lines, so none is longer than about 70 characters.
std::string resultText(const ResonanceResult& result, const std::string& savedTo) {
    std::string text = "Тест частоты дыхания окончен.\n\n"_cp1251;
    for (const ResonanceStageResult& s : result.stages) {
        text += decimal(s.breathsPerMinute) + " в мин ("_cp1251 + formulaText(s.formula) +
                "): размах "_cp1251 +
                (s.peakToTroughBpm ? decimal(*s.peakToTroughBpm) + " уд/мин"_cp1251 : "-") +
                ", LF " +
                (s.lowFrequencyMs2 ? decimal(*s.lowFrequencyMs2, 0) + " мс^2"_cp1251 : "-");
        if (s.breathHeartPhaseDeg)
            text += ", сдвиг "_cp1251 + decimal(*s.breathHeartPhaseDeg, 0) + "°"_cp1251;
        text += s.rank > 0 ? ", место "_cp1251 + std::to_string(s.rank) : "";
        text += "\n";
    }
    text += "\nРазмах: наибольший пульс за цикл дыхания минус наименьший.\n"
            "LF: мощность интервалов между ударами на 0,04-0,15 Гц.\n"_cp1251;
    if (result.stages.size() > 0 && result.stages.front().breathHeartPhaseDeg)
        text += "Сдвиг: на сколько градусов пульс отстаёт от дыхания.\n"_cp1251;
    if (!result.winnerBreathsPerMinute) {
        return text + "\nЧастоту определить не удалось: пульс не менялся с дыханием\n"
                      "или пригодных ударов было слишком мало. Проверьте датчик\n"
                      "и пройдите тест ещё раз; прежний результат не изменился."_cp1251;
    }
    text += "\nВаша частота: "_cp1251 + decimal(*result.winnerBreathsPerMinute) +
            " вдоха в минуту.\n\n"
            "Нажмите «Старт», чтобы тренироваться с ней: формула\n"
            "пересчитывается по пульсу перед каждым занятием\n"
            "(вдох 40 %, выдох 60 % цикла). Из меню рабочего стола\n"
            "(или с --formula resonance) программа и дальше\n"
            "тренирует с этой частотой."_cp1251;
    if (!savedTo.empty()) text += "\nРезультат сохранён в "_cp1251 + savedTo + ".";
    return text;
}

// Ranks the rates, writes the result and shows it; the menu follows, set to train at the winner
// (or, without one, as it was before the test).
void finishTest() {
    std::optional<double> winner = rankStages(run.result.stages);
    run.result.winnerBreathsPerMinute = winner;
    restoreMenuSettings();

    std::string error, savedTo;
    if (sessionRecorder.enabled()) {
        const std::string path = sessionRecorder.folder() + "/" + run.fileStem + "-resonance.json";
        if (!writeResonanceResult(path, run.result, error))
            tellUser(ConsoleLine::Problem, "halvent: the test's result was not recorded: " + error);
    }
    if (winner) {
        // Only a result with a winner replaces the one the program trains at.
        if (writeResonanceResult(kResonanceResultFile, run.result, error))
            savedTo = "resonance.json";
        else
            tellUser(ConsoleLine::Problem, "halvent: the test's result was not saved: " + error);
        const std::optional<double> heartRate = recentHeartRate().bpm();
        trainAtRate(
            *winner,
            formulaForRate(heartRate.value_or(run.result.stages.back().heartRateBefore), *winner));
    }
    showMessageBox(resultText(run.result, savedTo).c_str(), kBoxCaption);
}

void finishStage() {
    const StageScores scores = scoreStage(run.beats, kResonanceRates[run.stage]);
    ResonanceStageResult& entry = run.result.stages.back();
    entry.cycles = scores.cycles;
    entry.peakToTroughBpm = scores.peakToTroughBpm;
    entry.lowFrequencyMs2 = scores.lowFrequencyMs2;
    entry.breathHeartPhaseDeg = scores.breathHeartPhaseDeg;
    if (run.stage + 1 == kResonanceRates.size()) {
        finishTest();
        return;
    }
    // The rate of the stage's last beats; should they all have been unusable, the rate the
    // stage began with.
    beginStage(run.stage + 1, recentHeartRate().bpm().value_or(entry.heartRateBefore));
}

} // namespace

void beginResonanceTest(double stageSeconds) {
    run = TestRun{};
    run.running = true;
    run.measuring = true;
    run.stageSeconds = stageSeconds;
    run.formulaBefore = gui.session.phaseBeats;
    run.cyclesBefore = gui.session.cyclesSetting;
    const std::time_t now = std::time(nullptr);
    run.result.startTime = recordLocalTime(now, false);
    run.fileStem = recordLocalTime(now, true);
    // The pacer rests at the start of the inhale while the pulse is taken, showing a formula
    // like the first stage's: no pauses, so nothing is drawn where the caption stands.
    gui.session.phaseBeats = formulaForRate(60.0, kResonanceRates[0]);
    gui.session.restart();
    // The pauses' bars would glow under the caption until they faded: the test paces none.
    gui.trainingScreen.phaseGlow[1] = gui.trainingScreen.phaseGlow[3] = 0.0f;
    gui.inMenu = 0;
    gui.trainingCaption = "Измеряем пульс перед тестом..."_cp1251;
    resonanceTestBeat(); // a rate known already starts the first stage at once
}

bool resonanceTestRunning() {
    return run.running;
}

bool resonanceTestWaitsForHeartRate() {
    return run.running && run.measuring;
}

void resonanceTestBeat() {
    if (!run.running || !run.measuring) return;
    if (const std::optional<double> heartRate = recentHeartRate().bpm()) {
        run.measuring = false;
        beginStage(0, *heartRate);
    }
}

void resonanceTestStep(const SensorBeat& beat, const PacerStep& step) {
    if (!run.running || run.measuring || !step.stepped) return;
    const auto ms = static_cast<std::int32_t>(beat.tick - run.stageStartTick);
    run.beats.push_back(pacerBeat(gui.session, gui.sensor, ms, step.intervalMs, step.gap));
    if (step.sessionOver) finishStage();
}

void restartResonanceStage() {
    if (!run.running || run.measuring) return;
    beginSession();
    run.stageStartTick = tickMs();
    run.beats.clear();
    const std::string& csv = sessionRecorder.csvPath();
    run.result.stages.back().record = csv.substr(csv.rfind('/') + 1);
}

void haltResonanceTest() {
    sessionRecorder.endSession(SessionEnd::Halted);
    restoreMenuSettings();
    showMessageBox("Тест частоты дыхания прерван: результата нет,\n"
                   "прежний результат не изменился. Чтобы пройти тест,\n"
                   "запустите программу с --resonance или пунктом\n"
                   "«Найти мою частоту дыхания» в меню рабочего стола."_cp1251,
                   kBoxCaption);
}

void quitResonanceTest() {
    if (!run.running) return;
    run.running = false;
    tellUser(ConsoleLine::Problem,
             "halvent: the breathing-rate test ended before its last stage; no result was written");
}

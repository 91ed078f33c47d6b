// Writes the session record: rows appended per cycle, summary replaced whole by a rename.
#include "training/session_record.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "platform/append_file.hpp"
#include "record/record_format.hpp"
#include "platform/console.hpp"
#include "platform/file_replace.hpp"
#include "sensor/sensor_state.hpp"
#include "record/breath_figures.hpp"
#include "training/training_session.hpp"

SessionRecorder sessionRecorder;

namespace {

std::string number(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", *value);
    return text;
}

// The breathing figures as one JSON object; nulls where the breath sensor gave too little.
std::string breathingJson(const BreathFigures& b) {
    std::string perCycle;
    for (const std::optional<double>& r : b.cycleRatePerMin) {
        if (!perCycle.empty()) perCycle += ", ";
        perCycle += number(r);
    }
    return "{\"beats_with_breath\": " + std::to_string(b.beatsWithBreath) +
           ", \"breaths\": " + std::to_string(b.breaths) +
           ", \"rate_per_min\": {\"mean\": " + number(b.meanRatePerMin) + ", \"per_cycle\": [" +
           perCycle + "]}, \"inhale_breathed_in_percent\": " + number(b.inhaleBreathedInPercent) +
           ", \"exhale_breathed_out_percent\": " + number(b.exhaleBreathedOutPercent) + "}";
}

} // namespace

// The offset is worked out from the two broken-down times, since not every C library's strftime
// writes %z as digits.
std::string recordLocalTime(std::time_t when, bool forFileName) {
    const std::tm local = *std::localtime(&when); // main thread only: the static buffer is ours
    const std::tm utc = *std::gmtime(&when);
    char text[40];
    std::strftime(text, sizeof text, forFileName ? "%Y-%m-%dT%H-%M-%S" : "%Y-%m-%dT%H:%M:%S",
                  &local);
    if (forFileName) return text;
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
    const int minutes =
        days * 1440 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
    char offset[16];
    std::snprintf(offset, sizeof offset, "%c%02d:%02d", minutes < 0 ? '-' : '+',
                  std::abs(minutes) / 60, std::abs(minutes) % 60);
    return std::string(text) + offset;
}

FigureBeat pacerBeat(const TrainingSession& session, const SensorState& sensor, std::int64_t ms,
                     std::uint32_t intervalMs, bool gap) {
    // The breath signal only means something while the breath sensor reports ready.
    const signed char breath = sensor.breathStatus == 2 ? (sensor.breathOn ? 1 : 0) : -1;
    return {static_cast<double>(intervalMs),
            session.phase,
            session.cyclesSetting - session.cyclesLeft + 1,
            false,
            gap,
            ms,
            breath};
}

const char* sessionEndName(SessionEnd how) {
    switch (how) {
    case SessionEnd::Completed:
        return "completed";
    case SessionEnd::Halted:
        return "halted";
    case SessionEnd::Restarted:
        return "restarted";
    case SessionEnd::Quit:
        return "quit";
    }
    return "";
}

SessionRecorder::SessionRecorder() : file_(std::make_unique<AppendFile>()) {}

SessionRecorder::~SessionRecorder() = default;

bool SessionRecorder::setFolder(const std::string& folder) {
    folder_.clear();
    if (folder.empty()) return true;
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    int error = makeFolders(path);
    if (error == 0) error = folderWritable(path);
    if (error != 0) {
        tellUser(ConsoleLine::Problem, "halvent: cannot record sessions in " + path + " (" +
                                           systemErrorText(error) + "); sessions run unrecorded");
        return false;
    }
    folder_ = path;
    return true;
}

void SessionRecorder::beginSession(const TrainingSession& session, std::uint32_t startTick) {
    endSession(SessionEnd::Restarted);
    if (!enabled()) return;
    const std::time_t now = std::time(nullptr);
    const std::string stem = folder_ + "/" + recordLocalTime(now, true);
    // Two sessions started within one second get "-2", "-3", ...; a file is never reused.
    int error = 0;
    for (int n = 1; n < 100; ++n) {
        const std::string path = stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".csv";
        error = file_->createNew(path);
        if (error == 0) csvPath_ = path;
        if (error != EEXIST) break;
    }
    if (error != 0) {
        tellUser(ConsoleLine::Problem, "halvent: cannot create a session record in " + folder_ +
                                           " (" + systemErrorText(error) +
                                           "); this session runs unrecorded");
        return;
    }
    startTick_ = startTick;
    startTime_ = recordLocalTime(now, false);
    lastCycle_ = 1;
    beats_.clear();
    rows_.clear();
    goal_ = session.goal;
    level_ = session.level;
    cyclesPlanned_ = session.cyclesSetting;
    cyclesDone_ = 0;
    for (std::size_t i = 0; i < 4; ++i)
        formula_[i] = session.phaseBeats[i];
    pending_ = kRecordCsvHeader;
    appendPending();
}

void SessionRecorder::recordBeat(const TrainingSession& session, const SensorState& sensor,
                                 std::uint32_t beatTick, std::uint32_t intervalMs, const char* cue,
                                 bool gap) {
    if (!file_->isOpen()) return;
    // The pacer's position after this step: the beat that closes cycle n begins cycle n + 1.
    const std::int32_t cycle = session.cyclesSetting - session.cyclesLeft + 1;
    cyclesDone_ = session.cyclesSetting - session.cyclesLeft;
    // Signed: a beat stamped just before the restart, stepped in the frame after it, is early.
    const std::int32_t ms = static_cast<std::int32_t>(beatTick - startTick_);
    beats_.push_back(pacerBeat(session, sensor, ms, intervalMs, gap));
    const signed char breath = beats_.back().breath;

    std::string cueFile;
    if (cue) {
        cueFile = cue;
        if (const auto slash = cueFile.rfind('/'); slash != std::string::npos)
            cueFile.erase(0, slash + 1);
    }
    char hr[16] = "";
    if (intervalMs > 0) std::snprintf(hr, sizeof hr, "%.1f", 60000.0 / intervalMs);
    static constexpr const char* kBreathField[] = {"", "0", "1"}; // by breath + 1
    char row[160];
    std::snprintf(row, sizeof row, ",%d,%u,%s,%s,%d,%d,%s,%s,%s,", static_cast<int>(ms),
                  static_cast<unsigned>(intervalMs), hr, recordPhaseName(session.phase),
                  static_cast<int>(session.beatInPhase), static_cast<int>(cycle), cueFile.c_str(),
                  kBreathField[breath + 1], gap ? "1" : "");
    rows_.push_back(std::to_string(beats_.size()) + row);
    pending_ += rows_.back() + "\n";

    if (cycle != lastCycle_) {
        lastCycle_ = cycle;
        if (!appendPending()) return;
    }
    if (session.cyclesLeft <= 0) endSession(SessionEnd::Completed);
}

void SessionRecorder::endSession(SessionEnd how) {
    if (!file_->isOpen()) return;
    if (!appendPending()) return;
    file_->close();
    writeBeatClasses();
    writeSummary(how);
    csvPath_.clear();
    rows_.clear();
}

void SessionRecorder::writeBeatClasses() {
    const std::vector<std::optional<BeatClass>> classes = classifyRecordBeats(beats_);
    std::string text = kRecordCsvHeader;
    text.reserve(rows_.size() * 64);
    for (std::size_t i = 0; i < rows_.size(); ++i)
        text += rows_[i] + (classes[i] ? beatClassName(*classes[i]) : "") + "\n";
    // The same rows with their classes, through a temporary file and a rename: should that
    // fail, the rows written during the session stay as they were.
    if (std::string error; !replaceFileContents(csvPath_.c_str(), text, error))
        tellUser(ConsoleLine::Problem, "halvent: the beats' classes were not written: " + error);
}

bool SessionRecorder::appendPending() {
    // Synced per cycle: a power cut then loses at most the cycle in progress.
    if (const int error = file_->appendAndSync(pending_); error != 0) {
        tellUser(ConsoleLine::Problem, "halvent: recording stopped: " + csvPath_ + " (" +
                                           systemErrorText(error) + "); the session goes on");
        file_->close();
        pending_.clear();
        csvPath_.clear();
        return false;
    }
    pending_.clear();
    return true;
}

void SessionRecorder::writeSummary(SessionEnd how) {
    const HrvFigures f = computeHrvFigures(beats_);
    std::string arrhythmia;
    for (double d : f.cycleArrhythmia) {
        if (!arrhythmia.empty()) arrhythmia += ", ";
        arrhythmia += number(d);
    }
    const std::string csvName = csvPath_.substr(csvPath_.rfind('/') + 1);
    char formula[64];
    std::snprintf(formula, sizeof formula, "[%d, %d, %d, %d]", formula_[0], formula_[1],
                  formula_[2], formula_[3]);
    std::string json = "{\n";
    auto field = [&json](const char* name, const std::string& value, bool last = false) {
        json += std::string("  \"") + name + "\": " + value + (last ? "\n" : ",\n");
    };
    field("record", "\"" + csvName + "\"");
    field("start", "\"" + startTime_ + "\"");
    field("end", "\"" + recordLocalTime(std::time(nullptr), false) + "\"");
    field("ended", std::string("\"") + sessionEndName(how) + "\"");
    field("goal", std::to_string(goal_));
    field("level", std::to_string(level_));
    field("formula", formula);
    field("cycles_planned", std::to_string(cyclesPlanned_));
    field("cycles_done", std::to_string(cyclesDone_));
    field("beats", std::to_string(f.beats));
    field("beats_left_out", std::to_string(f.leftOut));
    std::string corrected = "{";
    for (std::size_t k = 1; k < kBeatClassCount; ++k)
        corrected += std::string(k > 1 ? ", \"" : "\"") + beatClassName(static_cast<BeatClass>(k)) +
                     "\": " + std::to_string(f.corrected[k]);
    field("beats_corrected", corrected + "}");
    field("mean_hr_bpm", number(f.meanHr));
    field("min_hr_bpm", number(f.minHr));
    field("max_hr_bpm", number(f.maxHr));
    field("mean_nn_ms", number(f.meanNnMs));
    field("sdnn_ms", number(f.sdnnMs));
    field("rmssd_ms", number(f.rmssdMs));
    field("pnn50_percent", number(f.pnn50));
    field("phase_mean_hr_bpm", "{\"inhale\": " + number(f.phaseMeanHr[0]) +
                                   ", \"hold-in\": " + number(f.phaseMeanHr[1]) +
                                   ", \"exhale\": " + number(f.phaseMeanHr[2]) +
                                   ", \"hold-out\": " + number(f.phaseMeanHr[3]) + "}");
    field("arrhythmia_bpm", "{\"per_cycle\": [" + arrhythmia +
                                "], \"mean\": " + number(f.arrhythmiaMean) +
                                ", \"sd\": " + number(f.arrhythmiaSd) + "}");
    field("breathing", breathingJson(computeBreathFigures(beats_)), true);
    json += "}\n";

    // Replaced whole through a temporary file and a rename: a summary is complete or absent.
    const std::string path = csvPath_.substr(0, csvPath_.size() - 4) + ".json";
    if (std::string error; !replaceFileContents(path.c_str(), json, error))
        tellUser(ConsoleLine::Problem, "halvent: the session summary was not written: " + error);
}

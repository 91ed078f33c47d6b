// Loads a breathing-rate test's result and its stages' records for drawing.
#include "report/resonance_report.hpp"

#include <cmath>
#include <cstdio>

std::optional<ResonanceReport> loadResonanceReport(const std::string& path, std::string& error,
                                                   std::vector<std::string>& notes) {
    std::optional<ResonanceResult> result = readResonanceResult(path, error);
    if (!result) return std::nullopt;
    ResonanceReport report;
    report.path = path;
    const std::size_t slash = path.find_last_of('/');
    report.name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    // The stages' records lie beside the result (the reader lets through bare names only).
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    for (const ResonanceStageResult& stage : result->stages) {
        const std::string stageName =
            "the " + breathingRateText(stage.breathsPerMinute) + " /min stage";
        if (stage.record.empty()) {
            notes.push_back(path + ": " + stageName + " names no record; its curve is left out");
            report.stageRecords.emplace_back();
            continue;
        }
        RecordReadResult read = readSessionRecord(folder + stage.record);
        if (!read.record)
            notes.push_back(read.error + "; the curve of " + stageName + " is left out");
        report.stageRecords.push_back(std::move(read.record));
    }
    report.result = std::move(*result);
    return report;
}

bool isWinningStage(const ResonanceResult& result, const ResonanceStageResult& stage) {
    return result.winnerBreathsPerMinute &&
           std::fabs(stage.breathsPerMinute - *result.winnerBreathsPerMinute) < 1e-6;
}

bool namesResonanceResult(const std::string& path) {
    // "…-resonance.json" in the record folder, or "resonance.json" beside the settings file.
    static constexpr char kName[] = "resonance.json";
    constexpr std::size_t length = sizeof kName - 1;
    if (path.size() < length || path.compare(path.size() - length, length, kName) != 0)
        return false;
    return path.size() == length || path[path.size() - length - 1] == '/' ||
           path[path.size() - length - 1] == '-';
}

std::string breathingRateText(double breathsPerMinute) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", breathsPerMinute);
    return text;
}

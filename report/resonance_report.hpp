// A breathing-rate test's result with the records of its stages, as halvent-report draws it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "record/record_reader.hpp"
#include "record/resonance_result.hpp"

struct ResonanceReport {
    std::string path; // as given
    std::string name; // the result's file name, shown in the title
    ResonanceResult result;
    // One per stage, in the result's order; empty where the stage's record is missing.
    std::vector<std::optional<SessionRecordData>> stageRecords;
};

// Reads the result at `path` and each stage's record from the result's folder. A stage whose
// record is missing or unreadable keeps its scores and loses its curve, with a line in `notes`.
// Empty, with the reason in `error`, when the result itself cannot be read.
std::optional<ResonanceReport> loadResonanceReport(const std::string& path, std::string& error,
                                                   std::vector<std::string>& notes);

// Whether the stage paced the winning rate.
bool isWinningStage(const ResonanceResult& result, const ResonanceStageResult& stage);

// Whether a file given to halvent-report is a result by its name ("…-resonance.json" or
// "resonance.json").
bool namesResonanceResult(const std::string& path);

// A breathing rate as people write it: "6", "5.5", "5.25".
std::string breathingRateText(double breathsPerMinute);

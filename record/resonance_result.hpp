// The outcome of a stepped breathing-rate test: each rate tried, its scores and the winner.
// Written as JSON into the record folder (beside the stages' records) and as resonance.json
// beside the settings file; read back by the program (to train at the winner) and by
// halvent-report (to draw it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ResonanceStageResult {
    double breathsPerMinute = 0.0;       // the rate the stage paced
    std::int32_t formula[4] = {0, 0, 0, 0}; // inhale, hold-in, exhale, hold-out beats
    double heartRateBefore = 0.0;        // beats a minute the formula was worked out from
    std::string record;                  // the stage's record CSV, by file name (may be empty)
    std::int32_t cycles = 0;             // breathing cycles scored
    // The scores: each empty when the stage gave too little to compute it.
    std::optional<double> peakToTroughBpm;  // mean heart-rate swing per breathing cycle
    std::optional<double> lowFrequencyMs2;  // power of the intervals, 0.04..0.15 Hz
    std::optional<double> breathHeartPhaseDeg; // heart rate's lag behind breathing
    std::int32_t rank = 0;                  // 1 the best; 0 unranked
};

struct ResonanceResult {
    std::string startTime; // local, ISO 8601 with offset
    std::vector<ResonanceStageResult> stages; // in the order they ran
    std::optional<double> winnerBreathsPerMinute;
};

// The JSON text of a result (UTF-8, one object; see docs/records.md).
std::string resonanceResultJson(const ResonanceResult& result);
// Parses it back; an empty optional and a one-line reason in `error` when it does not parse.
std::optional<ResonanceResult> parseResonanceResult(const std::string& text, std::string& error);
// Writes the file through a temporary file and a rename; false with `error` on failure.
bool writeResonanceResult(const std::string& path, const ResonanceResult& result,
                          std::string& error);
// Reads and parses a file; the error names the file.
std::optional<ResonanceResult> readResonanceResult(const std::string& path, std::string& error);

// The breathing-rate test's result file: what is written reads back the same, and a damaged
// or hostile file gives one line and no result.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "record/resonance_result.hpp"
#include "support/test_support.hpp"

namespace {

ResonanceResult twoStages() {
    ResonanceResult result;
    result.startTime = "2026-12-09T07:10:00+01:00";
    ResonanceStageResult fast;
    fast.breathsPerMinute = 6.5;
    fast.formula[0] = 4, fast.formula[1] = 0, fast.formula[2] = 5, fast.formula[3] = 0;
    fast.heartRateBefore = 61.25;
    fast.record = "2026-12-09T07-10-05.csv";
    fast.cycles = 9;
    fast.peakToTroughBpm = 11.875;
    fast.lowFrequencyMs2 = 2345.5;
    fast.breathHeartPhaseDeg = -12.5;
    fast.rank = 1;
    ResonanceStageResult unscored; // too few beats: no scores, no record, unranked
    unscored.breathsPerMinute = 4.5;
    result.stages = {fast, unscored};
    result.winnerBreathsPerMinute = 6.5;
    return result;
}

} // namespace

TEST(ResonanceResult, WrittenFileReadsBackWithNullsForEmptyScores) {
    ScratchDirectory scratch;
    const std::string path = (scratch.path() / "2026-12-09T07-10-00-resonance.json").string();
    std::string error;
    ASSERT_TRUE(writeResonanceResult(path, twoStages(), error)) << error;
    const std::string text = resonanceResultJson(twoStages());
    EXPECT_NE(text.find("\"peak_to_trough_bpm\": null"), std::string::npos) << text;
    // Only the result itself: the temporary file of the write is gone.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()),
                            std::filesystem::directory_iterator()),
              1);

    const std::optional<ResonanceResult> read = readResonanceResult(path, error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->startTime, "2026-12-09T07:10:00+01:00");
    ASSERT_EQ(read->stages.size(), 2u);
    const ResonanceStageResult& s = read->stages[0];
    EXPECT_EQ(s.breathsPerMinute, 6.5);
    EXPECT_EQ(s.formula[0], 4);
    EXPECT_EQ(s.formula[2], 5);
    EXPECT_EQ(s.heartRateBefore, 61.25);
    EXPECT_EQ(s.record, "2026-12-09T07-10-05.csv");
    EXPECT_EQ(s.cycles, 9);
    EXPECT_EQ(s.peakToTroughBpm, 11.875);
    EXPECT_EQ(s.lowFrequencyMs2, 2345.5);
    EXPECT_EQ(s.breathHeartPhaseDeg, -12.5);
    EXPECT_EQ(s.rank, 1);
    EXPECT_FALSE(read->stages[1].peakToTroughBpm);
    EXPECT_FALSE(read->stages[1].lowFrequencyMs2);
    EXPECT_EQ(read->stages[1].record, "");
    EXPECT_EQ(read->winnerBreathsPerMinute, 6.5);

    ResonanceResult none = twoStages();
    none.winnerBreathsPerMinute.reset();
    ASSERT_TRUE(writeResonanceResult(path, none, error)) << error;
    EXPECT_FALSE(readResonanceResult(path, error)->winnerBreathsPerMinute);
}

TEST(ResonanceResult, DamagedOrHostileFilesGiveOneLineAndNoResult) {
    const std::string good = resonanceResultJson(twoStages());
    const auto replaced = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {good.substr(0, good.size() / 2), "not valid JSON"},       // cut short by a crash
        {"", "not valid JSON"},
        {"[1, 2]", "not a JSON object"},
        {replaced("\"stages\"", "\"stagez\""), "stages: missing"},
        {replaced("[\n        4,", "[\n        \"4\","), "stages[0].formula: not a whole number"},
        {replaced("0,\n        5,\n        0\n      ]", "5\n      ]"), "stages[0].formula"},
        {replaced("6.5,\n      \"formula\"", "-6.5,\n      \"formula\""),
         "stages[0].breaths_per_min: out of range"},
        {replaced("11.875", "1e999"), "not valid JSON"},            // a number beyond double
        {replaced("2026-12-09T07-10-05.csv", "../../etc/passwd"), "stages[0].record"},
        {replaced("\"rank\": 1", "\"rank\": 7"), "stages[0].rank: out of range"},
        {std::string(2u << 20, '['), "too large"},
    };
    for (const auto& [text, reason] : cases) {
        std::string error;
        EXPECT_FALSE(parseResonanceResult(text, error)) << text.substr(0, 200);
        EXPECT_NE(error.find(reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    std::string error;
    EXPECT_FALSE(readResonanceResult("no-such-folder/result.json", error));
    EXPECT_EQ(error, "no-such-folder/result.json: cannot be read");
}

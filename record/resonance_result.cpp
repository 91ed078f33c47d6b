// The breathing-rate test's result as JSON: written whole through a rename, read back with
// every field checked, since the file may have been cut short or edited by hand.
#include "record/resonance_result.hpp"

#include <cmath>
#include <fstream>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/file_replace.hpp"

namespace {

// A result holds a dozen stages at most, a few kilobytes; anything far larger is not one.
constexpr std::size_t kLargestResultBytes = 1u << 20;

// Keys stay in the order written, so the file reads like the test ran.
using Json = nlohmann::ordered_json;

Json optionalNumber(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return nullptr;
    return *value;
}

// Thrown by the field readers below with a one-line reason; caught in parseResonanceResult.
struct BadField {
    std::string reason;
};

const Json& member(const Json& object, const std::string& where, const char* key) {
    const auto found = object.find(key);
    if (found == object.end()) throw BadField{where + key + ": missing"};
    return *found;
}

// A finite number within [least, most].
double number(const Json& object, const std::string& where, const char* key, double least,
              double most) {
    const Json& value = member(object, where, key);
    if (!value.is_number()) throw BadField{where + key + ": not a number"};
    const double x = value.get<double>();
    if (!std::isfinite(x) || x < least || x > most)
        throw BadField{where + key + ": out of range"};
    return x;
}

// Null, absent or a finite number within [least, most].
std::optional<double> optionalNumber(const Json& object, const std::string& where,
                                     const char* key, double least, double most) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) return std::nullopt;
    return number(object, where, key, least, most);
}

std::int32_t wholeNumber(const Json& value, const std::string& what, std::int32_t least,
                         std::int32_t most) {
    if (!value.is_number_integer()) throw BadField{what + ": not a whole number"};
    const auto x = value.get<std::int64_t>();
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(most))
        throw BadField{what + ": out of range"};
    if (x < least || x > most) throw BadField{what + ": out of range"};
    return static_cast<std::int32_t>(x);
}

std::string text(const Json& object, const std::string& where, const char* key) {
    const Json& value = member(object, where, key);
    if (!value.is_string()) throw BadField{where + key + ": not a string"};
    return value.get<std::string>();
}

// The stage's record is opened in the result's own folder: a bare file name, never a path
// that could lead elsewhere.
bool isBareFileName(const std::string& name) {
    return name.find_first_of("/\\:") == std::string::npos && name != "." && name != ".." &&
           name.find('\0') == std::string::npos;
}

ResonanceStageResult readStage(const Json& stage, const std::string& where,
                               std::size_t stageCount) {
    if (!stage.is_object()) throw BadField{where.substr(0, where.size() - 1) + ": not an object"};
    ResonanceStageResult s;
    // Generous bounds: they refuse nonsense, not any rate or rhythm a person could have.
    s.breathsPerMinute = number(stage, where, "breaths_per_min", 0.5, 60.0);
    const Json& formula = member(stage, where, "formula");
    if (!formula.is_array() || formula.size() != 4)
        throw BadField{where + "formula: not four whole numbers"};
    for (std::size_t i = 0; i < 4; ++i)
        s.formula[i] = wholeNumber(formula[i], where + "formula", 0, 1000);
    s.heartRateBefore = number(stage, where, "heart_rate_before", 0.0, 300.0);
    s.record = text(stage, where, "record");
    if (!s.record.empty() && !isBareFileName(s.record))
        throw BadField{where + "record: not a file name in the result's folder"};
    s.cycles = wholeNumber(member(stage, where, "cycles"), where + "cycles", 0, 100000);
    const double huge = std::numeric_limits<double>::max();
    s.peakToTroughBpm = optionalNumber(stage, where, "peak_to_trough_bpm", 0.0, 300.0);
    s.lowFrequencyMs2 = optionalNumber(stage, where, "low_frequency_ms2", 0.0, huge);
    s.breathHeartPhaseDeg = optionalNumber(stage, where, "breath_heart_phase_deg", -360.0, 360.0);
    s.rank = wholeNumber(member(stage, where, "rank"), where + "rank", 0,
                         static_cast<std::int32_t>(stageCount));
    return s;
}

} // namespace

std::string resonanceResultJson(const ResonanceResult& result) {
    Json stages = Json::array();
    for (const ResonanceStageResult& s : result.stages) {
        stages.push_back({
            {"breaths_per_min", s.breathsPerMinute},
            {"formula", {s.formula[0], s.formula[1], s.formula[2], s.formula[3]}},
            {"heart_rate_before", s.heartRateBefore},
            {"record", s.record},
            {"cycles", s.cycles},
            {"peak_to_trough_bpm", optionalNumber(s.peakToTroughBpm)},
            {"low_frequency_ms2", optionalNumber(s.lowFrequencyMs2)},
            {"breath_heart_phase_deg", optionalNumber(s.breathHeartPhaseDeg)},
            {"rank", s.rank},
        });
    }
    const Json json = {
        {"start_time", result.startTime},
        {"stages", std::move(stages)},
        {"winner_breaths_per_min", optionalNumber(result.winnerBreathsPerMinute)},
    };
    // Bytes that are not UTF-8 (a file name from an odd folder) are replaced, not thrown over.
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<ResonanceResult> parseResonanceResult(const std::string& text, std::string& error) {
    if (text.size() > kLargestResultBytes) {
        error = "too large for a breathing-rate test's result";
        return std::nullopt;
    }
    Json json;
    try {
        json = Json::parse(text);
    } catch (const Json::exception& e) { // a parse error, or a number beyond a double's range
        // e.what() starts with the library's own tag in brackets; the rest is the reason.
        std::string reason = e.what();
        if (const std::size_t tag = reason.find("] "); tag != std::string::npos)
            reason.erase(0, tag + 2);
        error = "not valid JSON: " + reason;
        return std::nullopt;
    }
    try {
        if (!json.is_object()) throw BadField{"not a JSON object"};
        ResonanceResult result;
        result.startTime = ::text(json, "", "start_time");
        const Json& stages = member(json, "", "stages");
        if (!stages.is_array()) throw BadField{"stages: not a list"};
        for (std::size_t i = 0; i < stages.size(); ++i)
            result.stages.push_back(
                readStage(stages[i], "stages[" + std::to_string(i) + "].", stages.size()));
        result.winnerBreathsPerMinute =
            optionalNumber(json, "", "winner_breaths_per_min", 0.5, 60.0);
        return result;
    } catch (const BadField& bad) {
        error = bad.reason;
    } catch (const Json::exception& e) {
        error = e.what(); // not reached with the checks above; kept so nothing escapes
    }
    return std::nullopt;
}

bool writeResonanceResult(const std::string& path, const ResonanceResult& result,
                          std::string& error) {
    return replaceFileContents(path.c_str(), resonanceResultJson(result), error);
}

std::optional<ResonanceResult> readResonanceResult(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    std::string contents;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        contents.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (contents.size() > kLargestResultBytes) break; // refused by the parser, unread
    }
    if (file.bad()) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    std::optional<ResonanceResult> result = parseResonanceResult(contents, error);
    if (!result) error = path + ": " + error;
    return result;
}

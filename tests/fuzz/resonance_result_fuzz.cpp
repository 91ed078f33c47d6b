// Fuzzes the reader of the breathing-rate test's result: any bytes, never a crash, and what it
// accepts is sound and reads back the same once written again.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "record/resonance_result.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<ResonanceResult> result = parseResonanceResult(text, error);
    if (result.has_value() == !error.empty()) std::abort();
    if (!result) {
        if (error.find('\n') != std::string::npos) std::abort(); // one line, always
        return 0;
    }
    for (const ResonanceStageResult& stage : result->stages) {
        if (!std::isfinite(stage.breathsPerMinute) || stage.breathsPerMinute <= 0) std::abort();
        if (stage.record.find('/') != std::string::npos) std::abort(); // a bare file name
        if (stage.rank < 0 || static_cast<std::size_t>(stage.rank) > result->stages.size())
            std::abort();
    }
    std::string again;
    const std::optional<ResonanceResult> reread =
        parseResonanceResult(resonanceResultJson(*result), again);
    if (!reread || reread->stages.size() != result->stages.size() ||
        reread->startTime != result->startTime)
        std::abort();
    return 0;
}

// Fuzzes the measurement-data readers (answers, settings, accelerometer frames) and feeds what
// they accept through the clock mapping and the breath detector; checks invariants.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "bluetooth/breath_detector.hpp"
#include "bluetooth/device_clock.hpp"
#include "bluetooth/pmd_frame.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace pmd = brix::pmd;
    const pmd::ControlPointAnswer answer = pmd::parseControlPointAnswer(data, size);
    if (answer.valid != answer.error.empty()) std::abort();
    if (answer.parameters.size() + 5 > size && !answer.parameters.empty()) std::abort();

    const pmd::Settings settings = pmd::parseSettings(data, size);
    if (settings.valid != settings.error.empty()) std::abort();
    if (const auto choice = pmd::chooseAccelerometer(settings)) {
        if (choice->sampleRateHz < 50) std::abort();
        if (choice->resolutionBits != 0 && choice->resolutionBits != 16) std::abort();
    }

    // The same bytes as a data frame, read with a factor taken from them as well.
    const float factor = size > 0 ? 0.001f * static_cast<float>(1 + data[size - 1]) : 1.0f;
    const pmd::AccFrame frame = pmd::parseAccFrame(data, size, factor);
    if (frame.valid != frame.error.empty()) std::abort();
    if (!frame.valid && !frame.samples.empty()) std::abort();
    if (frame.valid && frame.samples.empty()) std::abort();
    // Raw frames hold six bytes a sample; compressed ones at most 255 samples a block header.
    if (frame.samples.size() > 1 + 255 * size) std::abort();
    for (const auto& s : frame.samples)
        if (!std::isfinite(s.x) || !std::isfinite(s.y) || !std::isfinite(s.z)) std::abort();

    if (frame.valid) {
        brix::DeviceClock clock(100.0);
        brix::BreathDetector detector;
        for (int repeat = 0; repeat < 3; ++repeat) {
            const auto times = clock.sampleTimes(frame.deviceTimeNs + repeat * 50'000'000ULL,
                                                 frame.samples.size(),
                                                 1'000'000'000LL + repeat * 50'000'000LL);
            if (times.size() != frame.samples.size()) std::abort();
            for (std::size_t i = 0; i < times.size(); ++i) {
                if (i > 0 && times[i] < times[i - 1]) std::abort();
                const auto& s = frame.samples[i];
                detector.add(static_cast<double>(times[i]) * 1e-9, s.x, s.y, s.z);
                if (detector.status() < 0 || detector.status() > 2) std::abort();
            }
        }
    }
    return 0;
}

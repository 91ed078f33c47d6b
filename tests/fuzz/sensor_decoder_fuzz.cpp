// Fuzzes the sensor decoder with arbitrary message sequences and checks its invariants.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/message_box.hpp"
#include "sensor/sensor_state.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The disconnection box would wait for a person; a capture answers it at once.
    static const bool quiet = [] {
        setMessageBoxCapture([](const std::string&, const std::string&) {});
        return true;
    }();
    (void)quiet;
    SensorState state;
    state.reset();
    constexpr std::size_t kRecord = 2 * sizeof(std::uint64_t);
    for (std::size_t offset = 0; offset + kRecord <= size; offset += kRecord) {
        std::uint64_t wParam = 0, lParam = 0;
        std::memcpy(&wParam, data + offset, sizeof wParam);
        std::memcpy(&lParam, data + offset + sizeof wParam, sizeof lParam);
        state.onMessage(static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam));
        const bool statusesValid = state.breathStatus >= -1 && state.breathStatus <= 3 &&
                                   state.pulseStatus >= -1 && state.pulseStatus <= 3;
        const bool indicatorsValid =
            (state.pulseIndicator == 0.5f || state.pulseIndicator == 1.0f) &&
            (state.breathIndicator == 0.5f || state.breathIndicator == 1.0f);
        const bool idValid = state.deviceId >= 0 && state.deviceId <= 0xFFFF;
        if (!statusesValid || !indicatorsValid || !idValid) std::abort();
    }
    return 0;
}

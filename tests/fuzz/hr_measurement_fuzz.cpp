// Fuzzes the heart-rate measurement reader and the strap signal behind it; checks invariants.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "bluetooth/hr_measurement.hpp"
#include "bluetooth/strap_signal.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const brix::HrMeasurement measurement = brix::parseHrMeasurement(data, size);
    if (measurement.valid != measurement.error.empty()) std::abort();
    if (measurement.rateBpm < 0 || measurement.rateBpm > 65535) std::abort();
    // Every interval is a real one: above 0 and below the saturated 64 s.
    for (const double ms : measurement.intervalsMs)
        if (!(ms > 0.0 && ms < 64000.0)) std::abort();
    if (measurement.intervalsMs.size() + measurement.rejectedIntervals > size / 2) std::abort();

    // The same bytes as a second of a strap's life: the beats are finite and positive.
    brix::StrapSignal signal;
    const auto start = brix::Clock::now();
    signal.linkUp(start);
    for (int second = 0; second < 3; ++second) {
        for (const double ms :
             signal.onMeasurement(measurement, start + std::chrono::seconds(second)))
            if (!std::isfinite(ms) || ms <= 0.0) std::abort();
    }
    const int status = signal.pulseStatus(start + std::chrono::seconds(3));
    if (status < 0 || status > 2) std::abort();
    return 0;
}

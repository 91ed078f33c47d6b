// Choosing the sensor source from its name: "simulated", "replay:FILE", "replay:FILE:loop",
// "ble", "ble:AA:BB:CC:DD:EE:FF".
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "link/sensor_source.hpp"

namespace brix {

struct SourceChoice {
    // Makes a fresh source for each opening of the link; empty when `error` is set.
    std::function<std::unique_ptr<SensorSource>()> make;
    std::string error; // one line naming the problem
};

// Reads the choice and, for a recording, the whole file now, so that a bad name or file is
// reported before anything starts. Any thread.
SourceChoice chooseSource(const std::string& named);

} // namespace brix

// The Heart Rate Measurement characteristic of a Bluetooth LE strap (0x2A37), read exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brix {

struct HrMeasurement {
    bool valid = false;
    std::string error;               // why a measurement was refused (valid false)
    int rateBpm = 0;                 // 8- or 16-bit rate as sent; 0 when the strap has none yet
    bool contactSupported = false;   // the strap reports skin contact at all
    bool contactDetected = false;    // ... and has it now (meaningful only when supported)
    bool intervalsPresent = false;   // the strap sends RR intervals (perhaps none this time)
    std::vector<double> intervalsMs; // RR intervals in order, each a real interval
    int rejectedIntervals = 0;       // intervals of 0 or 65535/1024 s, which mean none
};

// Reads one measurement. A value shorter than its flags promise (rate, energy expended, or an
// RR field of odd length) is refused whole: a half-read packet would give wrong intervals.
HrMeasurement parseHrMeasurement(const std::uint8_t* data, std::size_t size);

} // namespace brix

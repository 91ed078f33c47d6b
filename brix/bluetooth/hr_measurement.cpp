// Reading the Heart Rate Measurement characteristic: flags, rate, contact, energy, RR intervals.
#include "bluetooth/hr_measurement.hpp"

namespace brix {

namespace {

// Flag bits of the first byte.
constexpr std::uint8_t kRate16Bit = 0x01;
constexpr std::uint8_t kContactDetected = 0x02;
constexpr std::uint8_t kContactSupported = 0x04;
constexpr std::uint8_t kEnergyPresent = 0x08;
constexpr std::uint8_t kIntervalsPresent = 0x10;

// RR intervals count in 1/1024 s; 0 is no interval and 65535 the saturated "over 64 s".
constexpr unsigned kIntervalUnitsPerSecond = 1024;
constexpr unsigned kSaturatedInterval = 65535;

unsigned readU16(const std::uint8_t* at) {
    return at[0] | (static_cast<unsigned>(at[1]) << 8);
}

HrMeasurement refused(const char* why) {
    HrMeasurement result;
    result.error = why;
    return result;
}

} // namespace

HrMeasurement parseHrMeasurement(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 2) return refused("shorter than flags and rate");
    const std::uint8_t flags = data[0];
    std::size_t at = 1;
    HrMeasurement result;
    if (flags & kRate16Bit) {
        if (size < at + 2) return refused("16-bit rate promised, one byte sent");
        result.rateBpm = static_cast<int>(readU16(data + at));
        at += 2;
    } else {
        result.rateBpm = data[at];
        at += 1;
    }
    if (flags & kEnergyPresent) {
        if (size < at + 2) return refused("energy expended promised, not sent");
        at += 2; // not used: the pacer needs beats only
    }
    result.contactSupported = (flags & kContactSupported) != 0;
    result.contactDetected = result.contactSupported && (flags & kContactDetected) != 0;
    result.intervalsPresent = (flags & kIntervalsPresent) != 0;
    if (result.intervalsPresent) {
        if ((size - at) % 2 != 0) return refused("RR intervals of odd length");
        for (; at < size; at += 2) {
            const unsigned units = readU16(data + at);
            if (units == 0 || units == kSaturatedInterval) {
                ++result.rejectedIntervals;
                continue;
            }
            result.intervalsMs.push_back(units * 1000.0 / kIntervalUnitsPerSecond);
        }
    }
    // Bytes beyond what the flags announce are left alone, as later revisions may add fields.
    result.valid = true;
    return result;
}

} // namespace brix

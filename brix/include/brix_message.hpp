// The sensor message that the link posts and the program reads: its layout, its status codes,
// and how a message that stands for an earlier moment says so. Defined here once; both sides
// encode and decode through these functions.
#pragma once

#include <algorithm>
#include <cstdint>

// Window message number of sensor events (WM_USER + 1000).
constexpr std::uint32_t kSensorMessage = 2024;

// A sensor's status code.
constexpr int kStatusSwitchingOn = 0;
constexpr int kStatusSearching = 1; // searching for a signal
constexpr int kStatusReady = 2;
constexpr int kStatusNoSensor = 3; // the device has no such sensor: its panel stays as it is

// What one message says.
struct SensorMessage {
    bool breathIn = false;   // the breath signal: breathing in
    bool pulseHigh = false;  // the pulse signal: high from a beat to half way to the next
    bool deviceLost = false; // the device went away while in use: the program ends
    int breathStatus = kStatusNoSensor;
    int pulseStatus = kStatusNoSensor;
    std::uint32_t device = 1; // the device's identifier (16 bits)
    // On a pulse rise: the interval the sensor measured before the beat, whole ms (0: none
    // carried, the program measures by its own clock), and whether it reaches back across a
    // stretch without a ready pulse, so that the beat counts in no figure.
    std::uint32_t beatIntervalMs = 0;
    bool beatAfterGap = false;
};

// The layout. wParam: bit 0 breath signal, bit 1 pulse signal, bit 2 device lost, bits 3..15
// the beat's interval, bits 16..31 the device. lParam: bits 0..15 free for the moment (below),
// bits 16..23 the status byte (bit 0 set, pulse status at bits 2..3 and a copy of the pulse
// signal at bit 4, breath status at bits 5..6 and a copy of the breath signal at bit 7), bit
// 24 the beat after a gap.
constexpr std::uintptr_t kBreathBit = 1u << 0;
constexpr std::uintptr_t kPulseBit = 1u << 1;
constexpr std::uintptr_t kDisconnectedBit = 1u << 2;
constexpr unsigned kBeatIntervalShift = 3;
constexpr std::uint32_t kLongestCarriedIntervalMs = 0x1FFF; // 13 bits: 8.2 s, no heartbeat
constexpr unsigned kDeviceShift = 16;
constexpr unsigned kStatusByteShift = 16;
constexpr std::intptr_t kBeatGapBit = std::intptr_t{1} << 24;

// A message that stands for an earlier moment (a beat due then) says so: on SDL its event's
// windowID holds the program tick it stands for (0: the event's own time stamp); on Windows
// lParam's low word holds how many ms before the post that moment was (at most 65,535), taken
// off the message's own time.
constexpr std::intptr_t kLatenessMask = 0xFFFF;
constexpr std::uint32_t kLongestLatenessMs = 0xFFFF;

constexpr std::uintptr_t sensorWParam(const SensorMessage& m) {
    const std::uint32_t interval = std::min(m.beatIntervalMs, kLongestCarriedIntervalMs);
    return (m.breathIn ? kBreathBit : 0) | (m.pulseHigh ? kPulseBit : 0) |
           (m.deviceLost ? kDisconnectedBit : 0) |
           (static_cast<std::uintptr_t>(interval) << kBeatIntervalShift) |
           (static_cast<std::uintptr_t>(m.device & 0xFFFF) << kDeviceShift);
}

constexpr std::uint32_t sensorStatusByte(const SensorMessage& m) {
    return 1u | (static_cast<std::uint32_t>(m.pulseStatus & 3) << 2) | (m.pulseHigh ? 1u << 4 : 0) |
           (static_cast<std::uint32_t>(m.breathStatus & 3) << 5) | (m.breathIn ? 1u << 7 : 0);
}

// An interval longer than the field holds is capped and marked a gap: no heart beats that
// slowly.
constexpr std::intptr_t sensorLParam(const SensorMessage& m) {
    const bool gap = m.beatAfterGap || m.beatIntervalMs > kLongestCarriedIntervalMs;
    return static_cast<std::intptr_t>(sensorStatusByte(m)) << kStatusByteShift |
           (m.beatIntervalMs != 0 && gap ? kBeatGapBit : 0);
}

// The status byte of a message's lParam.
constexpr std::uint32_t statusByteOf(std::intptr_t lParam) {
    return static_cast<std::uint32_t>(static_cast<std::uintptr_t>(lParam) >> kStatusByteShift) &
           0xFF;
}

constexpr SensorMessage decodeSensorMessage(std::uintptr_t wParam, std::intptr_t lParam) {
    const std::uint32_t status = statusByteOf(lParam);
    SensorMessage m;
    m.breathIn = (wParam & kBreathBit) != 0;
    m.pulseHigh = (wParam & kPulseBit) != 0;
    m.deviceLost = (wParam & kDisconnectedBit) != 0;
    m.device = static_cast<std::uint32_t>(wParam >> kDeviceShift) & 0xFFFF;
    m.beatIntervalMs =
        static_cast<std::uint32_t>(wParam >> kBeatIntervalShift) & kLongestCarriedIntervalMs;
    m.beatAfterGap = (lParam & kBeatGapBit) != 0;
    m.pulseStatus = static_cast<int>((status >> 2) & 3);
    m.breathStatus = static_cast<int>((status >> 5) & 3);
    return m;
}

// One field alone, for the callers that build or read only the beat.
constexpr std::uintptr_t beatIntervalBits(std::uint32_t intervalMs) {
    return static_cast<std::uintptr_t>(std::min(intervalMs, kLongestCarriedIntervalMs))
           << kBeatIntervalShift;
}
constexpr std::uint32_t beatIntervalOf(std::uintptr_t wParam) {
    return static_cast<std::uint32_t>(wParam >> kBeatIntervalShift) & kLongestCarriedIntervalMs;
}

static_assert(sensorWParam(SensorMessage{true, true, false, 2, 2, 1, 1000, false}) ==
              (0x10000u | 3u | (1000u << 3)));
static_assert(sensorLParam(SensorMessage{true, true, false, 2, 2, 1, 0, false}) == 0xD90000);
static_assert(decodeSensorMessage(0x10000u | 2u | (812u << 3), 0x490000 | kBeatGapBit)
                  .beatIntervalMs == 812);

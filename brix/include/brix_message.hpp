// The sensor message that brix posts and the program decodes: its layout, defined once.
#pragma once

#include <algorithm>
#include <cstdint>

// Window message number of sensor events (WM_USER + 1000).
constexpr std::uint32_t kSensorMessage = 2024;

// wParam: bit 0 breath signal, bit 1 pulse signal, bit 2 device disconnected,
// bits 16..31 device identifier. lParam bits 16..23: the status byte, with the breath
// status code at bits 21..22 and the pulse status code at bits 18..19.
constexpr std::uintptr_t kBreathBit = 1u << 0;
constexpr std::uintptr_t kPulseBit = 1u << 1;
constexpr std::uintptr_t kDisconnectedBit = 1u << 2;

// A pulse rise may carry its beat: wParam bits 3..15 hold the interval the sensor measured
// before it, in whole milliseconds (0: none carried, the program measures by its tick), and
// lParam bit 24 says the interval reaches back across a stretch without a ready pulse, so the
// beat counts in no figure. The rise's moment travels beside it: on SDL as the event's tick,
// on Windows as its lateness in lParam's low word (see brix's posting).
constexpr unsigned kBeatIntervalShift = 3;
constexpr std::uint32_t kLongestCarriedIntervalMs = 0x1FFF; // 13 bits: 8.2 s, no heartbeat
constexpr std::intptr_t kBeatGapBit = std::intptr_t{1} << 24;

// The wParam bits of a beat's interval; longer intervals than the field holds are capped
// (the link marks such a beat a gap: no heart beats that slowly).
constexpr std::uintptr_t beatIntervalBits(std::uint32_t intervalMs) {
    return static_cast<std::uintptr_t>(std::min(intervalMs, kLongestCarriedIntervalMs))
           << kBeatIntervalShift;
}

// The interval a message carries, ms; 0 when it carries none.
constexpr std::uint32_t beatIntervalOf(std::uintptr_t wParam) {
    return static_cast<std::uint32_t>(wParam >> kBeatIntervalShift) & kLongestCarriedIntervalMs;
}

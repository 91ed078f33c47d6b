// The sensor message that brix posts and the program decodes.
#pragma once

#include <cstdint>

// Window message number of sensor events (WM_USER + 1000).
constexpr std::uint32_t kSensorMessage = 2024;

// wParam: bit 0 breath signal, bit 1 pulse signal, bit 2 device disconnected,
// bits 16..31 device identifier. lParam bits 16..23: the status byte, with the breath
// status code at bits 21..22 and the pulse status code at bits 18..19.
constexpr std::uintptr_t kBreathBit = 1u << 0;
constexpr std::uintptr_t kPulseBit = 1u << 1;
constexpr std::uintptr_t kDisconnectedBit = 1u << 2;

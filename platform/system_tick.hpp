// The system's own millisecond tick, which each backend gives to the shared tickMs().
// Internal to the platform layer: only the backends and platform/ticks.cpp include it.
#pragma once

#include <cstdint>

// Milliseconds of the system's monotonic counter, modulo 2^32. Any thread.
std::uint32_t systemTickMs();

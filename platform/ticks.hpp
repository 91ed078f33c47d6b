// The millisecond tick: unsigned 32-bit, wraps after about 49.7 days like the system tick.
#pragma once

#include <cstdint>

// Milliseconds since the platform started, modulo 2^32. Any thread.
std::uint32_t tickMs();

// Tests drive the clock: while set, tickMs() returns exactly this value. Main thread only.
void setTickOverride(std::uint32_t ms);
void clearTickOverride();
bool tickOverridden();

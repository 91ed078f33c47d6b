// The millisecond tick on SDL's monotonic counter, truncated to 32 bits so it wraps.
#include "platform/ticks.hpp"

#include <SDL2/SDL.h>

#include <atomic>

namespace {
std::atomic<bool> overrideActive{false};
std::atomic<std::uint32_t> overrideValue{0};
} // namespace

std::uint32_t tickMs() {
    if (overrideActive.load(std::memory_order_acquire)) return overrideValue.load();
    return static_cast<std::uint32_t>(SDL_GetTicks64());
}

void setTickOverride(std::uint32_t ms) {
    overrideValue.store(ms);
    overrideActive.store(true, std::memory_order_release);
}

bool tickOverridden() { return overrideActive.load(std::memory_order_acquire); }

void clearTickOverride() { overrideActive.store(false, std::memory_order_release); }

// The millisecond tick of both backends: the system's own, unless a test has set it.
#include "platform/ticks.hpp"

#include <atomic>

#include "platform/system_tick.hpp"

namespace {
std::atomic<bool> overrideActive{false};
std::atomic<std::uint32_t> overrideValue{0};
} // namespace

std::uint32_t tickMs() {
    if (overrideActive.load(std::memory_order_acquire)) return overrideValue.load();
    return systemTickMs();
}

void setTickOverride(std::uint32_t ms) {
    overrideValue.store(ms);
    overrideActive.store(true, std::memory_order_release);
}

bool tickOverridden() { return overrideActive.load(std::memory_order_acquire); }

void clearTickOverride() { overrideActive.store(false, std::memory_order_release); }

// The millisecond tick on Windows: GetTickCount itself, which wraps after about 49.7 days.
#include "platform/ticks.hpp"

#include <atomic>

#include "platform/win32/win32_shared.hpp"

namespace {
std::atomic<bool> overrideActive{false};
std::atomic<std::uint32_t> overrideValue{0};
} // namespace

std::uint32_t tickMs() {
    if (overrideActive.load(std::memory_order_acquire)) return overrideValue.load();
    return static_cast<std::uint32_t>(GetTickCount());
}

void setTickOverride(std::uint32_t ms) {
    overrideValue.store(ms);
    overrideActive.store(true, std::memory_order_release);
}

void clearTickOverride() { overrideActive.store(false, std::memory_order_release); }

bool tickOverridden() { return overrideActive.load(std::memory_order_acquire); }

// The millisecond tick on Windows: GetTickCount itself, which wraps after about 49.7 days.
#include "platform/system_tick.hpp"

#include "platform/win32/win32_shared.hpp"

std::uint32_t systemTickMs() { return static_cast<std::uint32_t>(GetTickCount()); }

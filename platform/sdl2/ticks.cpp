// The millisecond tick on SDL's monotonic counter, truncated to 32 bits so it wraps.
#include "platform/system_tick.hpp"

#include <SDL2/SDL.h>

std::uint32_t systemTickMs() { return static_cast<std::uint32_t>(SDL_GetTicks64()); }

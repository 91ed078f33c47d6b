// Posting a sensor message on SDL: a user event with code = message, data1/data2 = wParam/lParam,
// and windowID = the tick (SDL_GetTicks) the message stands for when it is not the post's own
// (the sensor message's layout, brix_message.hpp).
#include "os/post_message.hpp"

#include <SDL2/SDL.h>

#include <algorithm>

namespace brix {

namespace {

bool push(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, Uint32 tick) {
    SDL_Event event{};
    event.user.windowID = tick; // 0: the event's own timestamp
    event.type = SDL_USEREVENT;
    event.user.code = static_cast<Sint32>(message);
    event.user.data1 = reinterpret_cast<void*>(wParam);
    event.user.data2 = reinterpret_cast<void*>(lParam);
    return SDL_PushEvent(&event) == 1; // thread-safe; sets the timestamp to now
}

} // namespace

// The program's tickMs() is SDL's 64-bit tick cut to 32 bits; so is this.
std::uint32_t programTick() { return static_cast<std::uint32_t>(SDL_GetTicks64()); }

bool postSensorMessage(void* /*window: SDL has one queue per process*/, std::uint32_t message,
                       std::uintptr_t wParam, std::intptr_t lParam) {
    return push(message, wParam, lParam, 0);
}

bool postSensorMessageAt(void* /*window*/, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam, std::uint32_t tick) {
    return push(message, wParam, lParam, tick != 0 ? tick : 1); // 0 would mean "no stamp"
}

bool postSensorMessageDue(void* window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam, std::chrono::steady_clock::time_point due) {
    const auto late = std::chrono::steady_clock::now() - due;
    const auto lateMs = std::max<std::int64_t>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(late).count());
    return postSensorMessageAt(window, message, wParam, lParam,
                               programTick() - static_cast<std::uint32_t>(lateMs));
}

} // namespace brix

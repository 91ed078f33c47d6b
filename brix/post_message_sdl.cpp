// Posting a sensor message on SDL: a user event with code = message, data1/data2 = wParam/lParam.
#include "post_message.hpp"

#include <SDL2/SDL.h>

namespace brix {

bool postSensorMessage(void* /*window: SDL has one queue per process*/, std::uint32_t message,
                       std::uintptr_t wParam, std::intptr_t lParam) {
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    event.user.code = static_cast<Sint32>(message);
    event.user.data1 = reinterpret_cast<void*>(wParam);
    event.user.data2 = reinterpret_cast<void*>(lParam);
    return SDL_PushEvent(&event) == 1; // thread-safe
}

} // namespace brix

// The one door from the link's threads to the program: posting a sensor message.
#pragma once

#include <chrono>
#include <cstdint>

namespace brix {

// Posts message `message` with wParam and lParam to `window`, like PostMessage. Any thread;
// false when it could not be posted (a full queue counts as a failed post).
bool postSensorMessage(void* window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam);

// The same, for a message that stands for a moment already past or now (a pulse rise due
// then): the program times it by `due` rather than by when the post got through. Any thread.
bool postSensorMessageDue(void* window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam, std::chrono::steady_clock::time_point due);

} // namespace brix

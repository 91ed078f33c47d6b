// The one door from the link's threads to the program: posting a sensor message, timed on the
// program's own clock.
#pragma once

#include <chrono>
#include <cstdint>

namespace brix {

// The program's millisecond tick (the clock its tickMs() counts on), modulo 2^32. Any thread.
std::uint32_t programTick();

// Posts message `message` with wParam and lParam to `window`, like PostMessage. Any thread;
// false when it could not be posted (a full queue counts as a failed post).
bool postSensorMessage(void* window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam);

// The same, for a message that stands for the moment `tick` (a pulse rise due then, now or a
// little earlier): the program times it by that tick rather than by when the post got through.
// Any thread.
bool postSensorMessageAt(void* window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam, std::uint32_t tick);

// The same for a moment on the steady clock (converted to the program's tick as it is posted).
bool postSensorMessageDue(void* window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam, std::chrono::steady_clock::time_point due);

} // namespace brix

// The one door from the link's threads to the program: posting a sensor message.
#pragma once

#include <cstdint>

namespace brix {

// Posts message `message` with wParam and lParam to `window`, like PostMessage. Any thread;
// false when it could not be posted (a full queue counts as a failed post).
bool postSensorMessage(void* window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam);

} // namespace brix

// Posting a sensor message on Windows: PostMessage to the program's main window; a message
// that stands for an earlier moment carries how much earlier in lParam's low word.
#include "os/post_message.hpp"

#include "brix_message.hpp"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <chrono>

namespace brix {

// The program's tickMs() is GetTickCount on Windows, and so is the time of a message.
std::uint32_t programTick() { return static_cast<std::uint32_t>(GetTickCount()); }

bool postSensorMessage(void* window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
    // PostMessage is safe from any thread and fails when the queue is full (10,000 messages)
    // or the window is gone.
    return PostMessageA(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam)) != 0;
}

// A window message has no room for a time stamp, but the sensor message leaves lParam's low
// word 0: it carries the milliseconds between `tick` and the post (at most 65,535), and the
// program's message pump takes them off the message's own time (GetMessageTime, the same
// clock as GetTickCount).
bool postSensorMessageAt(void* window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam, std::uint32_t tick) {
    const auto late = static_cast<std::int32_t>(programTick() - tick);
    const auto lateMs =
        std::clamp<std::int32_t>(late, 0, static_cast<std::int32_t>(kLongestLatenessMs));
    return postSensorMessage(window, message, wParam,
                             (lParam & ~kLatenessMask) | static_cast<std::intptr_t>(lateMs));
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

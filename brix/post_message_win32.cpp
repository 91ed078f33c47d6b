// Posting a sensor message on Windows: PostMessage to the program's main window.
#include "post_message.hpp"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace brix {

bool postSensorMessage(void* window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
    // PostMessage is safe from any thread and fails when the queue is full (10,000 messages)
    // or the window is gone.
    return PostMessageA(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam)) != 0;
}

} // namespace brix

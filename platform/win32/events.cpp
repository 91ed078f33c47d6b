// The window's messages: the PeekMessage loop, and the window procedure that queues events.
#include "platform/events.hpp"

#include <deque>

#include "brix_message.hpp"

#include "platform/end_signals.hpp"
#include "platform/ticks.hpp"
#include "platform/win32/win32_shared.hpp"
#include "platform/window.hpp"

namespace {

WindowProcedure windowProcedure = nullptr;
bool quitPosted = false;
int quitCode = 0;
bool endCloseSent = false; // an end request or a lost window is reported as one close
// Events the window procedure produced during DispatchMessage, handed out by pollEvent.
std::deque<Event> queued;

int virtualKey(WPARAM key) {
    switch (key) {
    case VK_RETURN: return kKeyEnter;
    case VK_SPACE: return kKeySpace;
    case VK_ESCAPE: return kKeyEscape;
    default: return 0;
    }
}

// Client coordinates are signed 16-bit values (negative left of or above the window).
int lowSigned(LPARAM value) { return static_cast<short>(LOWORD(value)); }
int highSigned(LPARAM value) { return static_cast<short>(HIWORD(value)); }

} // namespace

namespace win32 {

LRESULT CALLBACK mainWindowMessages(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Event event;
    switch (message) {
    case WM_CLOSE:
        // The program decides how to end; the default procedure would destroy the window.
        event.kind = Event::Kind::Close;
        event.wParam = wParam;
        event.lParam = lParam;
        break;
    case WM_DESTROY:
        // At the end of the run the program already shut down; otherwise it was taken away.
        onWindowDestroyed();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE; // logoff or shutdown may go on; the settings are saved on WM_ENDSESSION
    case WM_ENDSESSION:
        // The process ends when this returns: the program shuts down here, in order.
        if (wParam) {
            requestEnd();
            endCloseSent = true;
            event.kind = Event::Kind::Close;
            sendEvent(event);
        }
        return 0;
    case WM_KEYDOWN:
        event.kind = Event::Kind::KeyDown;
        event.key = virtualKey(wParam);
        event.wParam = static_cast<std::uintptr_t>(event.key);
        event.lParam = lParam;
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
        event.kind = message == WM_MOUSEMOVE ? Event::Kind::MouseMove : Event::Kind::LeftButton;
        event.x = lowSigned(lParam);
        event.y = highSigned(lParam);
        break;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) return 0;
        event.kind = Event::Kind::Resize;
        event.width = LOWORD(lParam);
        event.height = HIWORD(lParam);
        break;
    case WM_ERASEBKGND:
        return 1; // OpenGL paints every pixel; erasing first would only flicker
    case WM_PAINT:
        // Uncovered or shown: a still picture is not drawn again unless told so. The next
        // frame paints every pixel, so the region counts as painted now.
        ValidateRect(window, nullptr);
        event.kind = Event::Kind::Exposed;
        break;
    default:
        // The window's private messages (above WM_USER) are the sensor link's.
        if (message > WM_USER && message < WM_APP) {
            event.kind = Event::Kind::Sensor;
            event.message = message;
            event.wParam = wParam;
            // The low word says how many milliseconds before its post the message stands for
            // (the sensor message's layout); the program gets the message without it.
            event.lParam = lParam & ~LPARAM{kLatenessMask};
            const auto earlier = static_cast<std::uint32_t>(lParam & kLatenessMask);
            event.tick = tickOverridden()
                             ? tickMs()
                             : static_cast<std::uint32_t>(GetMessageTime()) - earlier;
            break;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    queued.push_back(event);
    return 0;
}

void discardQueuedEvents() { queued.clear(); }

} // namespace win32

bool pollEvent(Event& event) {
    if (quitPosted) return false;
    if (!endCloseSent && (endRequested() || win32::windowLost())) {
        endCloseSent = true;
        event = Event{};
        event.kind = Event::Kind::Close;
        return true;
    }
    for (;;) {
        if (!queued.empty()) {
            event = queued.front();
            queued.pop_front();
            return true;
        }
        // Peek without removing, then fetch, translate and dispatch: the classic loop.
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) return false;
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            quitPosted = true;
            quitCode = got == 0 ? static_cast<int>(msg.wParam) : 0;
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool waitEvent(Event& event, int timeoutMs) {
    if (pollEvent(event)) return true;
    if (quitPosted || timeoutMs <= 0) return false;
    // Any message, a sensor message posted by the link's thread included, ends the wait.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeoutMs), QS_ALLINPUT);
    return pollEvent(event);
}

void setWindowProcedure(WindowProcedure procedure) { windowProcedure = procedure; }

void sendEvent(const Event& event) {
    if (windowProcedure) windowProcedure(event);
}

void postQuit(int exitCode) {
    quitPosted = true;
    quitCode = exitCode;
    PostQuitMessage(exitCode); // so a modal loop or another pump sees it too
}

bool quitRequested() { return quitPosted; }
int quitExitCode() { return quitCode; }
void clearQuit() {
    quitPosted = false;
    quitCode = 0;
    endCloseSent = false;
    // Takes back a quit message still waiting in this thread's queue.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

bool postSensorEvent(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    const HWND window = win32::mainWindow();
    if (!window) return false;
    return PostMessageA(window, message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam)) != 0;
}

// End requests on Windows: console control events (Ctrl+C, a closed console, logoff, shutdown)
// and the session's end, each marked as one request that the event queue turns into a close.
#include "platform/end_signals.hpp"

#include <atomic>

#include "platform/win32/win32_shared.hpp"

namespace {

std::atomic<bool> requested{false};

// Runs on a thread of its own. For a closed console, logoff and shutdown the process ends when
// the handler returns, so it gives the main loop a moment to save the settings first.
BOOL WINAPI onConsoleControl(DWORD type) {
    win32::requestEnd();
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        Sleep(2000);
    return TRUE;
}

} // namespace

namespace win32 {
void requestEnd() { requested.store(true); }
} // namespace win32

void catchEndSignals() { SetConsoleCtrlHandler(onConsoleControl, TRUE); }

bool endRequested() { return requested.load(); }

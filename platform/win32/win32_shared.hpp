// What the Win32 backend's files share: the main window, its message handler, UTF-16 text.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace win32 {

// The main window, null before createMainWindow and after destroyMainWindow.
HWND mainWindow();

// The window class's procedure: turns the window's messages into queued events.
LRESULT CALLBACK mainWindowMessages(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_DESTROY arrived: by destroyMainWindow, or from someone else (then the window is lost).
void onWindowDestroyed();

// True once the window was destroyed under the program by someone else; the event queue then
// reports a close, so the program ends in order.
bool windowLost();

// Marks an end request (logoff, shutdown, Ctrl+C, a closed console). Any thread.
void requestEnd();

// Drops events still queued for a window that is gone.
void discardQueuedEvents();

// CP1251 bytes to UTF-16, for the wide-character calls that show text.
std::wstring cp1251ToWide(std::string_view bytes);

// UTF-8 to UTF-16 and back: paths and command-line arguments travel as UTF-8 in the program
// and reach the system through its wide-character calls, so any name works.
std::wstring utf8ToWide(std::string_view text);
std::string wideToUtf8(std::wstring_view text);

} // namespace win32

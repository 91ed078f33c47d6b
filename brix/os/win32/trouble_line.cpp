// Lines for the user on Windows. A GUI program has standard error only when its starter gave
// one (a console, a pipe, a file, Wine's terminal); started from Explorer it has none, and the
// line goes into a message box instead, on a thread of its own: the source that tells it goes
// on with the strap while the box waits for the user.
#include "os/trouble_line.hpp"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace brix {
namespace {

bool hasErrorStream() {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

std::wstring wideOf(const std::string& utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                           nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            length);
    return wide;
}

} // namespace

void tellTroubleLine(const std::string& line) {
    // Unattended runs (tests) ask for standard error instead of a modal box.
    if (hasErrorStream() || std::getenv("HALVENT_NO_DIALOGS")) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
        return;
    }
    std::thread([text = wideOf(line)] {
        // On top: the program's window is full screen.
        MessageBoxW(nullptr, text.c_str(), L"halvent",
                    MB_OK | MB_ICONWARNING | MB_TOPMOST | MB_SETFOREGROUND);
    }).detach();
}

} // namespace brix

// Lines for the user on Windows. A GUI program starts with no standard streams unless its
// starter redirected them; a program started from a console may borrow that console.
#include "platform/console.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/win32_shared.hpp"

namespace {

enum class Sink {
    Stream,  // a file or pipe the starter gave (or Wine's terminal): UTF-8 bytes
    Console, // a console window: UTF-16, so every character shows
    Box,     // nobody would see a stream: a message box
};

struct Target {
    Sink sink = Sink::Box;
    HANDLE console = nullptr;
};

bool usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode) != 0;
}

// Decided once, before main: a console borrowed from the parent also serves every other
// line the program and brix.dll print with the C runtime.
struct Targets {
    Target output, error;

    Targets() {
        const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        if (!usable(out) && !usable(err) && AttachConsole(ATTACH_PARENT_PROCESS)) {
            std::freopen("CONOUT$", "w", stdout);
            std::freopen("CONOUT$", "w", stderr);
        }
        output = find(STD_OUTPUT_HANDLE);
        error = find(STD_ERROR_HANDLE);
    }

    static Target find(DWORD which) {
        HANDLE handle = GetStdHandle(which);
        if (!usable(handle) && GetConsoleWindow() != nullptr)
            handle =
                CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (!usable(handle)) return {};
        if (isConsole(handle)) return {Sink::Console, handle};
        return {Sink::Stream, nullptr};
    }
};

const Targets targets;

} // namespace

void tellUser(ConsoleLine kind, std::string_view text) {
    std::string line(text);
    if (line.empty() || line.back() != '\n') line += '\n';
    const bool problem = kind == ConsoleLine::Problem;
    std::FILE* stream = problem ? stderr : stdout;
    const Target& target = problem ? targets.error : targets.output;
    if (target.sink == Sink::Box && !std::getenv("HALVENT_NO_DIALOGS")) {
        std::wstring wide = win32::utf8ToWide(line);
        UINT style = MB_OK | MB_TOPMOST | MB_SETFOREGROUND;
        style |= problem ? MB_ICONERROR : MB_ICONINFORMATION;
        if (MessageBoxW(nullptr, wide.c_str(), L"halvent", style) != 0) return;
    }
    if (target.sink == Sink::Console) {
        std::fflush(stream); // keeps the order with what the runtime printed before
        std::wstring wide = win32::utf8ToWide(line);
        for (std::size_t i = 0; i < wide.size(); ++i)
            if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r')) wide.insert(i++, 1, L'\r');
        DWORD written = 0;
        if (WriteConsoleW(target.console, wide.data(), static_cast<DWORD>(wide.size()), &written,
                          nullptr))
            return;
    }
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fflush(stream);
}

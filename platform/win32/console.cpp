// Lines for the user on Windows. A GUI program starts with no standard streams unless its
// starter redirected them (a pipe, a file, Wine's terminal); with none, nobody would read a
// line, so it is shown in a message box instead.
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

// Decided once, before main: what the starter handed over does not change.
struct Targets {
    Target output = find(STD_OUTPUT_HANDLE);
    Target error = find(STD_ERROR_HANDLE);

    static Target find(DWORD which) {
        const HANDLE handle = GetStdHandle(which);
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

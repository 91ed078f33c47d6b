// The command line on Windows: the UTF-16 one, split as the C runtime splits it.
#include "platform/command_line.hpp"

#include "platform/win32/win32_shared.hpp"

#include <shellapi.h> // after <windows.h>, which it needs

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (wide == nullptr) { // out of memory: the narrow ones are better than none
        for (int i = 1; i < argc; ++i)
            arguments.emplace_back(argv[i]);
        return arguments;
    }
    for (int i = 1; i < count; ++i)
        arguments.push_back(win32::wideToUtf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

// CP1251 to UTF-8 with the system's own code-page tables (via UTF-16).
#include "platform/cp1251.hpp"

#include <string>

#include "platform/win32/win32_shared.hpp"

std::string cp1251ToUtf8(std::string_view bytes) {
    return win32::wideToUtf8(win32::cp1251ToWide(bytes));
}

// CP1251 to UTF-8 with the system's own code-page tables (via UTF-16).
#include "platform/cp1251.hpp"

#include <string>

#include "platform/win32/win32_shared.hpp"

namespace win32 {

std::wstring cp1251ToWide(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(1251, 0, bytes.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
    if (needed > 0) MultiByteToWideChar(1251, 0, bytes.data(), length, wide.data(), needed);
    return wide;
}

} // namespace win32

std::string cp1251ToUtf8(std::string_view bytes) {
    const std::wstring wide = win32::cp1251ToWide(bytes);
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr,
                                           nullptr);
    std::string out(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, out.data(), needed, nullptr, nullptr);
    return out;
}

// Text to and from UTF-16 for the wide-character calls: CP1251 texts shown on the screen, and
// UTF-8 names of files and folders and command-line arguments.
#include "platform/win32/win32_shared.hpp"

namespace win32 {
namespace {

std::wstring toWide(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
    if (needed > 0) MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), needed);
    return wide;
}

} // namespace

std::wstring cp1251ToWide(std::string_view bytes) {
    return toWide(1251, bytes);
}

std::wstring utf8ToWide(std::string_view text) {
    return toWide(CP_UTF8, text);
}

std::string wideToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
    return out;
}

} // namespace win32

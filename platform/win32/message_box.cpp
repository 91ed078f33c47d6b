// Message boxes on Windows: MessageBoxW with the CP1251 texts turned into UTF-16.
#include "platform/message_box.hpp"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/cp1251.hpp"
#include "platform/win32/win32_shared.hpp"

namespace {
MessageBoxCapture capture;
} // namespace

void setMessageBoxCapture(MessageBoxCapture newCapture) { capture = std::move(newCapture); }

void showMessageBox(const char* textCp1251, const char* captionCp1251, MessageBoxButtons buttons,
                    MessageBoxIcon icon) {
    const std::string text = textCp1251 ? textCp1251 : "";
    const std::string caption = captionCp1251 ? captionCp1251 : "";
    if (capture) {
        capture(text, caption);
        return;
    }
    // Unattended runs (tests) ask for the text on standard error instead of a modal box.
    if (!std::getenv("HALVENT_NO_DIALOGS")) {
        UINT style = buttons == MessageBoxButtons::Ok ? MB_OK : MB_OKCANCEL;
        if (icon == MessageBoxIcon::Error) style |= MB_ICONERROR;
        // No owner, as the design has it; on top, because the program's window is full screen.
        style |= MB_TOPMOST | MB_SETFOREGROUND;
        if (MessageBoxW(nullptr, win32::cp1251ToWide(text).c_str(),
                        win32::cp1251ToWide(caption).c_str(), style) != 0)
            return;
    }
    std::fprintf(stderr, "halvent: %s: %s\n", cp1251ToUtf8(caption).c_str(),
                 cp1251ToUtf8(text).c_str());
}

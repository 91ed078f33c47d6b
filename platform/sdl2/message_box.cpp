// Message boxes through SDL; standard error when no display is there.
#include "platform/message_box.hpp"

#include <SDL2/SDL.h>

#include <cstdio>
#include <utility>

#include "platform/cp1251.hpp"
#include "platform/window.hpp"

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
    const std::string textUtf8 = cp1251ToUtf8(text);
    const std::string captionUtf8 = cp1251ToUtf8(caption);
    // The offscreen driver has no way to show a dialog, and a missing display none either.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool canShow = displayAvailable() && !(driver && SDL_strcmp(driver, "offscreen") == 0) &&
                         !SDL_getenv("HALVENT_NO_DIALOGS");
    if (canShow) {
        const bool okOnly = buttons == MessageBoxButtons::Ok;
        // Enter answers OK; Esc answers Cancel, or OK when that is the only button.
        SDL_MessageBoxButtonData buttonData[2] = {
            {static_cast<Uint32>(SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT) |
                 (okOnly ? static_cast<Uint32>(SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT) : 0u),
             1, "OK"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 2, "Cancel"},
        };
        SDL_MessageBoxData data{};
        data.flags = icon == MessageBoxIcon::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
        data.title = captionUtf8.c_str();
        data.message = textUtf8.c_str();
        data.numbuttons = okOnly ? 1 : 2;
        data.buttons = buttonData;
        int pressed = 0;
        if (SDL_ShowMessageBox(&data, &pressed) == 0) return;
    }
    std::fprintf(stderr, "halvent: %s: %s\n", captionUtf8.c_str(), textUtf8.c_str());
}

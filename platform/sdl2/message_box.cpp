// Message boxes through SDL; standard error when no display is there.
#include "platform/message_box.hpp"

#include <SDL2/SDL.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/cp1251.hpp"
#include "platform/end_signals.hpp"
#include "platform/sdl2/display_watch.hpp"
#include "platform/window.hpp"

namespace {
MessageBoxCapture capture;

// The child's end of the answer pipe.
int answerFd = -1;

// SDL raises the window that had the keyboard focus once the dialog is closed, on the
// connection the child let go of, which ends the child there: it answers first. A dialog that
// could not be shown has left an error behind.
void answerBeforeEnding() {
    const char shown = SDL_GetError()[0] == '\0' ? 1 : 0;
    if (write(answerFd, &shown, 1) != 1) _exit(1);
}

// The dialog's own loop waits for an answer and nothing else, so it runs in a child process
// of its own group while this one waits for the answer or an end request; on an end request
// the child (and what it started) goes, and the program ends in order. True when shown.
bool showInChildProcess(const SDL_MessageBoxData& data) {
    int pressed = 0;
    int answer[2];
    if (pipe(answer) != 0) return SDL_ShowMessageBox(&data, &pressed) == 0;
    const pid_t child = fork();
    if (child < 0) {
        close(answer[0]);
        close(answer[1]);
        return SDL_ShowMessageBox(&data, &pressed) == 0;
    }
    if (child == 0) {
        setpgid(0, 0);
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) signal(sig, SIG_DFL);
        close(answer[0]);
        answerFd = answer[1];
        detachFromDisplayInChild(answerBeforeEnding);
        SDL_ClearError();
        const char shown = SDL_ShowMessageBox(&data, &pressed) == 0 ? 1 : 0;
        if (write(answer[1], &shown, 1) != 1) _exit(1);
        _exit(0);
    }
    setpgid(child, child); // also here, so the group exists before the child runs
    close(answer[1]);
    char shown = 0;
    for (;;) {
        if (endRequested()) {
            kill(-child, SIGKILL);
            shown = 1;
            break;
        }
        pollfd ready{answer[0], POLLIN, 0};
        const int n = poll(&ready, 1, 100); // an end request is seen within a tenth of a second
        if (n > 0) {
            if (read(answer[0], &shown, 1) != 1) shown = 0;
            break;
        }
        if (n < 0 && errno != EINTR) break;
    }
    close(answer[0]);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return shown != 0;
}
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
        // Owned by the main window once it shows: the box stands over the picture.
        auto* owner = static_cast<SDL_Window*>(mainWindowHandle());
        if (owner && (SDL_GetWindowFlags(owner) & SDL_WINDOW_SHOWN)) data.window = owner;
        if (showInChildProcess(data)) return;
    }
    std::fprintf(stderr, "halvent: %s: %s\n", captionUtf8.c_str(), textUtf8.c_str());
}

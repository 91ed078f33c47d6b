// X's error handlers: a window destroyed under the program, and the lost display connection.
#include "platform/sdl2/display_watch.hpp"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>

#include "platform/window.hpp"

namespace {

using ErrorHandler = int (*)(Display*, XErrorEvent*);

ErrorHandler previousErrorHandler = nullptr;
bool handlersInstalled = false;
Window watchedWindow = 0;
Display* watchedDisplay = nullptr;
bool lost = false;
void (*displayLostHandler)() = nullptr;

// Xlib's own handlers end the process with exit(), which runs static destructors under
// threads that still work and loses what was not saved. An error about our window means it
// was destroyed by another client: remembered, and the program ends in order. Other errors
// go to the handler that was there before (SDL's, then Xlib's).
int onError(Display* display, XErrorEvent* error) {
    if (lost || (watchedWindow != 0 && error->resourceid == watchedWindow)) {
        lost = true;
        return 0;
    }
    return previousErrorHandler ? previousErrorHandler(display, error) : 0;
}

// Xlib ends the process when this returns, and no X call works any more: save, then end
// at once without running destructors that might wait on the dead connection.
int onIoError(Display*) {
    static bool ran = false;
    if (!ran) {
        ran = true;
        std::fputs("halvent: the connection to the display was lost\n", stderr);
        if (displayLostHandler) displayLostHandler();
    }
    std::fflush(nullptr);
    _exit(1);
}

void (*childLastWords)() = nullptr;

int endChildQuietly(Display*) {
    if (childLastWords) childLastWords();
    _exit(0);
}

} // namespace

void watchDisplay(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    watchedWindow = info.info.x11.window;
    watchedDisplay = info.info.x11.display;
    handlersInstalled = true;
    // SDL sets handlers of its own while it sets the window up: ours go on top again, and
    // the one found there becomes the next in line.
    const ErrorHandler found = XSetErrorHandler(onError);
    if (found != onError) previousErrorHandler = found;
    XSetIOErrorHandler(onIoError);
}

void detachFromDisplayInChild(void (*lastWords)()) {
    childLastWords = lastWords;
    if (!handlersInstalled) return;
    XSetIOErrorHandler(endChildQuietly);
    if (watchedDisplay) close(ConnectionNumber(watchedDisplay));
}

void settleDisplayErrors() {
    if (handlersInstalled && watchedDisplay) XSync(watchedDisplay, False);
}

void setDisplayLostHandler(void (*handler)()) {
    displayLostHandler = handler;
}

bool windowLost() {
    return lost;
}

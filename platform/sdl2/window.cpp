// The SDL window with its OpenGL compatibility context, and the paced swap.
#include "platform/window.hpp"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>

#include "platform/frame_pace.hpp"
#include "platform/sdl2/display_watch.hpp"

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
bool wantFullscreen = false;
bool wantModeSwitch = false;

FramePace pace;

constexpr int kWidth = 800;
constexpr int kHeight = 600;

int displayRefreshRate() {
    SDL_DisplayMode mode{};
    const int display = window ? SDL_GetWindowDisplayIndex(window) : 0;
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate > 0)
        return mode.refresh_rate;
    return 60;
}

// The display's 800 x 600 mode, if it has one.
SDL_DisplayMode modeSwitchTarget{};
bool closestMode(int display, SDL_DisplayMode& found) {
    SDL_DisplayMode wanted{};
    wanted.w = kWidth;
    wanted.h = kHeight;
    return SDL_GetClosestDisplayMode(display, &wanted, &found) && found.w == kWidth &&
           found.h == kHeight;
}

// The offscreen and dummy drivers show nothing: SDL falls back to them when no display
// answers, and the program would run unseen for ever. Only an explicit request uses them.
bool invisibleDriverNotAsked() {
    if (SDL_getenv("SDL_VIDEODRIVER")) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
}

// Asks the window manager, before the window is first shown, to show it full screen, and
// says false where the window is not an X11 window. SDL's own switch on a shown X11 window
// waits up to 100 ms for the window to move twice and change size, which a window that
// already covers the display never does: a tenth of a second of every start. Without a
// window manager the borderless window covers the display anyway.
bool askFullscreenBeforeShowing() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    Display* display = info.info.x11.display;
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(display, info.info.x11.window, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&fullscreen), 1);
    return true;
}

} // namespace

bool displayAvailable() {
    const char* driver = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0))
        return true;
    return SDL_getenv("DISPLAY") || SDL_getenv("WAYLAND_DISPLAY");
}

WindowResult createMainWindow(const WindowOptions& options) {
    // The program catches the end signals itself (platform/end_signals.hpp).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return WindowResult::NoVideo;
    if (invisibleDriverNotAsked()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        return WindowResult::NoVideo;
    }

    // The pixel format: RGBA colour, 16-bit depth, double buffer, nothing else.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);

    // Created hidden: the window-creation steps run before it is shown, as on Windows.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    wantFullscreen = !options.windowed && !options.hidden;
    // Without an 800 x 600 mode to switch to, the desktop's own mode is used, as by default.
    wantModeSwitch = wantFullscreen && options.modeSwitch && closestMode(0, modeSwitchTarget);
    SDL_Rect bounds{0, 0, kWidth, kHeight};
    if (options.windowed) {
        flags |= SDL_WINDOW_RESIZABLE;
    } else {
        flags |= SDL_WINDOW_BORDERLESS;
        // Full screen in the desktop's own mode: the window covers the display from the start,
        // also where no window manager would make it full screen.
        if (wantFullscreen && !wantModeSwitch && SDL_GetDisplayBounds(0, &bounds) != 0)
            bounds = {0, 0, kWidth, kHeight};
    }
    window = SDL_CreateWindow("halvent", bounds.x, bounds.y, bounds.w, bounds.h, flags);
    if (!window) {
        // No configuration with the requested depth buffer is the usual reason here.
        const bool formatProblem = SDL_strstr(SDL_GetError(), "GL") != nullptr ||
                                   SDL_strstr(SDL_GetError(), "visual") != nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return formatProblem ? WindowResult::NoPixelFormat : WindowResult::WindowFailed;
    }
    watchDisplay(window);
    context = SDL_GL_CreateContext(window);
    if (!context) return WindowResult::CreateContext;
    if (SDL_GL_MakeCurrent(window, context) != 0) return WindowResult::MakeCurrent;

    bool vsyncAccepted = false;
    if (options.fps < 0)
        vsyncAccepted = SDL_GL_SetSwapInterval(1) == 0;
    else
        SDL_GL_SetSwapInterval(0);
    pace.start(options.fps, vsyncAccepted, displayRefreshRate);
    return WindowResult::Ok;
}

void* mainWindowHandle() { return window; }

void windowClientSize(int& width, int& height) {
    width = kWidth;
    height = kHeight;
    if (window) SDL_GetWindowSize(window, &width, &height);
}

void enterFullscreenMode() {
    if (!window) return;
    if (wantFullscreen && !wantModeSwitch) {
        if (!askFullscreenBeforeShowing())
            SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else if (wantModeSwitch) {
        SDL_SetWindowDisplayMode(window, &modeSwitchTarget);
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
    }
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    watchDisplay(window);
}

void restoreDisplayMode() {
    if (window && wantFullscreen) SDL_SetWindowFullscreen(window, 0);
}

void swapWindowBuffers() {
    if (!window) return;
    pace.beforeSwap();
    SDL_GL_SwapWindow(window);
    pace.afterSwap();
}

double msUntilNextFrame() { return window ? pace.msUntilNextFrame() : 0.0; }

void restartFramePace() { pace.restart(); }

void destroyMainWindow() {
    if (context) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    if (window) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
}

void shutdownPlatform() {
    destroyMainWindow();
    settleDisplayErrors(); // a window destroyed by someone else makes its last requests fail
    SDL_Quit();
}

bool hasCurrentGlContext() { return SDL_GL_GetCurrentContext() != nullptr; }

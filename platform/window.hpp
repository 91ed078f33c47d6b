// The main window, its OpenGL context and the paced buffer swap.
#pragma once

#include <cstdint>

struct WindowOptions {
    bool windowed = false;   // an 800 x 600 window the user may resize, instead of full screen
    bool modeSwitch = false; // full screen in an 800 x 600 display mode, where the display has one
    bool hidden = false;     // tests: create the context without showing a window
    int fps = -1;            // -1: vsync, else self-paced at the display's rate; 0: unpaced; N: N frames a second
};

enum class WindowResult {
    Ok,
    NoVideo,           // no display could be opened
    WindowFailed,      // the window could not be created
    NoPixelFormat,     // no framebuffer configuration matches
    SetPixelFormat,    // the configuration could not be applied
    CreateContext,     // the OpenGL context could not be created
    MakeCurrent,       // it could not be made current
};

// Opens the video system, creates the window and its compatibility-profile context (16-bit
// depth, double buffer) and makes it current. Full screen covers the display in its own mode;
// windowed starts at 800 x 600. SDL's offscreen and dummy drivers are used only when
// SDL_VIDEODRIVER names them: without a display the result is NoVideo. Main thread only.
WindowResult createMainWindow(const WindowOptions& options);

// An opaque handle of the window (for brix and the sensor state); null before creation.
void* mainWindowHandle();

// The window's client size in pixels.
void windowClientSize(int& width, int& height);

// Presents the frame: swap with vsync, or sleep to the target pace first. Main thread only.
void swapWindowBuffers();

// Releases the context (made not current first), then the window. Safe to call twice.
void destroyMainWindow();

// Ends the platform at program exit (after the window is gone). Main thread only.
void shutdownPlatform();

// True while some OpenGL context is current on this thread.
bool hasCurrentGlContext();

// True when a display is available (an X11 or Wayland display, or SDL's offscreen driver).
bool displayAvailable();

// Shows the window, full screen unless windowed; with modeSwitch the display switches to
// 800 x 600 first. restoreDisplayMode switches back. Failures are ignored as on Windows.
void enterFullscreenMode();
void restoreDisplayMode();

// The display connection was lost (the server ended, or it dropped the program): the
// handler saves what must not be lost, and the process ends with status 1 when it returns,
// since nothing can be drawn or shown any more. Runs once, on the main thread.
void setDisplayLostHandler(void (*handler)());

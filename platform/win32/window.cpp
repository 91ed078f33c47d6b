// The Win32 main window: class ZUL, a pop-up window, the WGL context and the paced swap.
#include "platform/window.hpp"

#include <GL/gl.h>

#include "platform/frame_pace.hpp"
#include "platform/win32/win32_shared.hpp"

namespace {

constexpr const char* kClassName = "ZUL";
constexpr int kWidth = 800;
constexpr int kHeight = 600;

HWND window = nullptr;
HDC deviceContext = nullptr;
HGLRC renderContext = nullptr;
bool classRegistered = false;
bool wantFullscreen = false;
bool wantModeSwitch = false;
bool hiddenWindow = false;
bool displayModeChanged = false;
bool destroyingOurselves = false;
bool lost = false; // the window was destroyed by someone else
void (*displayLostHandler)() = nullptr;

FramePace pace;

using SwapIntervalProc = BOOL(WINAPI*)(int);

int displayRefreshRate() {
    const int rate = deviceContext ? GetDeviceCaps(deviceContext, VREFRESH) : 0;
    return rate > 1 ? rate : 60; // 0 and 1 mean "the hardware's default"
}

// Asks the driver for vsync through the WGL extension; false where it is missing or refused.
bool requestSwapInterval(int interval) {
    const auto proc = reinterpret_cast<SwapIntervalProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
    return proc && proc(interval);
}

bool registerWindowClass(HINSTANCE instance) {
    if (classRegistered) return true;
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = win32::mainWindowMessages;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = kClassName;
    classRegistered = RegisterClassA(&windowClass) != 0;
    return classRegistered;
}

// The pixel format of the design: RGBA, 16-bit colour and depth, double buffer, nothing else.
WindowResult setUpPixelFormat() {
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 16;
    format.cDepthBits = 16;
    format.iLayerType = PFD_MAIN_PLANE;
    const int chosen = ChoosePixelFormat(deviceContext, &format);
    if (chosen == 0) return WindowResult::NoPixelFormat;
    if (!SetPixelFormat(deviceContext, chosen, &format)) return WindowResult::SetPixelFormat;
    return WindowResult::Ok;
}

// The area of the monitor that holds the window (the primary one before there is a window).
RECT monitorArea() {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    const HMONITOR handle = window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                                   : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    if (GetMonitorInfoA(handle, &monitor)) area = monitor.rcMonitor;
    if (area.right <= area.left || area.bottom <= area.top) area = RECT{0, 0, kWidth, kHeight};
    return area;
}

// The design's mode switch: 800 x 600, colour depth and refresh rate as they are.
bool switchTo800x600() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = kWidth;
    mode.dmPelsHeight = kHeight;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

void choosePacing(int fps) {
    bool vsyncAccepted = false;
    if (fps < 0)
        vsyncAccepted = requestSwapInterval(1);
    else
        requestSwapInterval(0);
    pace.start(fps, vsyncAccepted, displayRefreshRate);
}

} // namespace

namespace win32 {
HWND mainWindow() { return window; }

void onWindowDestroyed() {
    if (!destroyingOurselves) lost = true;
}

bool windowLost() { return lost; }
} // namespace win32

// Windows has no display connection that could drop the program; the handler is kept only
// so that both systems take the same calls.
void setDisplayLostHandler(void (*handler)()) { displayLostHandler = handler; }

bool displayAvailable() { return GetSystemMetrics(SM_CXSCREEN) > 0; }

WindowResult createMainWindow(const WindowOptions& options) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!registerWindowClass(instance)) return WindowResult::WindowFailed;

    wantFullscreen = !options.windowed && !options.hidden;
    wantModeSwitch = wantFullscreen && options.modeSwitch;
    hiddenWindow = options.hidden;
    lost = false;
    // A pop-up window for full screen, covering the monitor in its own mode from the start
    // (800 x 600 where the mode switch will make it so); a framed, resizable 800 x 600 one
    // when windowed.
    DWORD style = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    style |= options.windowed ? WS_OVERLAPPEDWINDOW : WS_POPUP;
    RECT frame{0, 0, kWidth, kHeight};
    if (wantFullscreen && !wantModeSwitch) frame = monitorArea();
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int x = options.windowed ? CW_USEDEFAULT : frame.left;
    const int y = options.windowed ? CW_USEDEFAULT : frame.top;
    window = CreateWindowExA(0, kClassName, kClassName, style, x, y, frame.right - frame.left,
                             frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!window) return WindowResult::WindowFailed;

    // The class has its own device context, so this one is kept for the whole run.
    deviceContext = GetDC(window);
    if (!deviceContext) return WindowResult::NoPixelFormat;
    if (const WindowResult format = setUpPixelFormat(); format != WindowResult::Ok) return format;
    renderContext = wglCreateContext(deviceContext);
    if (!renderContext) return WindowResult::CreateContext;
    if (!wglMakeCurrent(deviceContext, renderContext)) return WindowResult::MakeCurrent;
    choosePacing(options.fps);
    return WindowResult::Ok;
}

void* mainWindowHandle() { return window; }

void windowClientSize(int& width, int& height) {
    width = kWidth;
    height = kHeight;
    RECT client{};
    if (window && GetClientRect(window, &client) && client.right > 0 && client.bottom > 0) {
        width = client.right;
        height = client.bottom;
    }
}

void enterFullscreenMode() {
    if (!window) return;
    if (wantFullscreen) {
        // The display mode changes only when asked; where 800 x 600 is refused, or not asked
        // for, the pop-up window covers its monitor in the desktop's mode and the picture is
        // scaled into it.
        if (wantModeSwitch && !displayModeChanged) displayModeChanged = switchTo800x600();
        const RECT area = monitorArea();
        SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOACTIVATE);
    }
    if (hiddenWindow) return;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetForegroundWindow(window);
    SetFocus(window);
}

void restoreDisplayMode() {
    // Only a changed mode is put back; the desktop's own mode was never touched.
    if (displayModeChanged) ChangeDisplaySettingsA(nullptr, 0);
    displayModeChanged = false;
}

void swapWindowBuffers() {
    if (!deviceContext) return;
    pace.beforeSwap();
    SwapBuffers(deviceContext);
    pace.afterSwap();
}

double msUntilNextFrame() { return window ? pace.msUntilNextFrame() : 0.0; }

void restartFramePace() { pace.restart(); }

void destroyMainWindow() {
    if (renderContext) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(renderContext);
        renderContext = nullptr;
    }
    if (deviceContext) {
        ReleaseDC(window, deviceContext);
        deviceContext = nullptr;
    }
    if (window) {
        destroyingOurselves = true;
        DestroyWindow(window);
        destroyingOurselves = false;
        window = nullptr;
    }
    win32::discardQueuedEvents();
}

void shutdownPlatform() {
    destroyMainWindow();
    restoreDisplayMode();
    if (classRegistered) UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
    classRegistered = false;
}

bool hasCurrentGlContext() { return wglGetCurrentContext() != nullptr; }

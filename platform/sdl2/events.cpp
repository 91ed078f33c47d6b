// SDL's event queue turned into the window's messages.
#include "platform/events.hpp"

#include <SDL2/SDL.h>

#include "platform/end_signals.hpp"
#include "platform/sdl2/display_watch.hpp"
#include "platform/ticks.hpp"

namespace {
WindowProcedure windowProcedure = nullptr;
bool quitPosted = false;
int quitCode = 0;
bool endCloseSent = false; // an end signal or a lost window is reported as one close

int virtualKey(SDL_Keycode key) {
    switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return kKeyEnter;
    case SDLK_SPACE: return kKeySpace;
    case SDLK_ESCAPE: return kKeyEscape;
    default: return 0;
    }
}

// SDL stamps an event with its own tick when it is pushed (the moment the sensor message
// was posted); the link may name the tick it stands for instead (in windowID, unused by
// user events, as the sensor message's layout says). tickMs() counts on the same clock unless
// a test drives it.
std::uint32_t stampOf(const SDL_Event& in) {
    if (tickOverridden()) return tickMs();
    return in.user.windowID != 0 ? in.user.windowID : in.common.timestamp;
}

// Fills `out` from an SDL event; false for events the window does not handle.
bool translate(const SDL_Event& in, Event& out) {
    switch (in.type) {
    case SDL_QUIT: out.kind = Event::Kind::Close; return true;
    case SDL_WINDOWEVENT:
        if (in.window.event == SDL_WINDOWEVENT_CLOSE) {
            out.kind = Event::Kind::Close;
            return true;
        }
        if (in.window.event == SDL_WINDOWEVENT_EXPOSED || in.window.event == SDL_WINDOWEVENT_SHOWN ||
            in.window.event == SDL_WINDOWEVENT_RESTORED) {
            out.kind = Event::Kind::Exposed;
            return true;
        }
        if (in.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            out.kind = Event::Kind::Resize;
            out.width = in.window.data1;
            out.height = in.window.data2;
            return true;
        }
        return false;
    case SDL_KEYDOWN:
        out.kind = Event::Kind::KeyDown;
        out.key = virtualKey(in.key.keysym.sym);
        out.wParam = static_cast<std::uintptr_t>(out.key);
        out.lParam = in.key.repeat ? (1 << 30) : 0; // previous-key-state bit, as Windows sets it
        return true;
    case SDL_MOUSEMOTION:
        out.kind = Event::Kind::MouseMove;
        out.x = in.motion.x;
        out.y = in.motion.y;
        return true;
    case SDL_MOUSEBUTTONDOWN:
        if (in.button.button != SDL_BUTTON_LEFT) return false;
        out.kind = Event::Kind::LeftButton;
        out.x = in.button.x;
        out.y = in.button.y;
        return true;
    case SDL_USEREVENT:
        out.kind = Event::Kind::Sensor;
        out.message = static_cast<std::uint32_t>(in.user.code);
        out.wParam = reinterpret_cast<std::uintptr_t>(in.user.data1);
        out.lParam = reinterpret_cast<std::intptr_t>(in.user.data2);
        out.tick = stampOf(in);
        return true;
    default: return false;
    }
}
} // namespace

bool pollEvent(Event& event) {
    if (quitPosted) return false;
    if (!endCloseSent && (endRequested() || windowLost())) {
        endCloseSent = true;
        event = Event{};
        event.kind = Event::Kind::Close;
        return true;
    }
    SDL_Event in;
    while (SDL_PollEvent(&in)) {
        event = Event{};
        if (translate(in, event)) return true;
    }
    return false;
}

bool waitEvent(Event& event, int timeoutMs) {
    if (pollEvent(event)) return true;
    if (quitPosted || timeoutMs <= 0) return false;
    // SDL wakes the wait when another thread pushes an event, so a sensor message is not
    // held until the timeout.
    SDL_Event in;
    if (!SDL_WaitEventTimeout(&in, timeoutMs)) return false;
    event = Event{};
    if (translate(in, event)) return true;
    return pollEvent(event);
}

void setWindowProcedure(WindowProcedure procedure) { windowProcedure = procedure; }

void sendEvent(const Event& event) {
    if (windowProcedure) windowProcedure(event);
}

void postQuit(int exitCode) {
    quitPosted = true;
    quitCode = exitCode;
}

bool quitRequested() { return quitPosted; }
int quitExitCode() { return quitCode; }
void clearQuit() {
    quitPosted = false;
    quitCode = 0;
    endCloseSent = false;
}

bool postSensorEvent(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    event.user.code = static_cast<Sint32>(message);
    event.user.data1 = reinterpret_cast<void*>(wParam);
    event.user.data2 = reinterpret_cast<void*>(lParam);
    return SDL_PushEvent(&event) == 1;
}

// The window's message queue: platform events turned into one plain record of ours.
#pragma once

#include <cstdint>

// Virtual-key codes the program reacts to (the keypad Enter is reported as Enter too).
constexpr int kKeyEnter = 13;
constexpr int kKeySpace = 32;
constexpr int kKeyEscape = 27;

struct Event {
    enum class Kind {
        None,
        Close,       // the user or the program asks the window to close
        Destroy,     // the window is being destroyed (Esc sends it)
        KeyDown,     // key: virtual-key code; wParam/lParam: as Windows would give them
        MouseMove,   // x, y: pointer in window pixels
        LeftButton,  // x, y: pointer in window pixels
        Resize,      // width, height: the new client size in pixels
        Sensor,      // message: message number; wParam, lParam: as posted by brix
    };
    Kind kind = Kind::None;
    int key = 0;              // KeyDown
    int x = 0, y = 0;         // MouseMove, LeftButton
    int width = 0, height = 0; // Resize
    std::uint32_t message = 0; // Sensor
    std::uintptr_t wParam = 0; // Sensor, KeyDown, Close/Destroy
    std::intptr_t lParam = 0;  // Sensor, KeyDown, Close/Destroy
    std::uint32_t tick = 0;    // Sensor: when it was posted, on the clock of tickMs()
};

// Takes the next pending event without waiting; false when the queue is empty or the quit
// message was taken (see quitRequested). Main thread only.
bool pollEvent(Event& event);

// The window procedure that sendEvent calls synchronously, like SendMessage. Main thread only.
using WindowProcedure = void (*)(const Event& event);
void setWindowProcedure(WindowProcedure procedure);
void sendEvent(const Event& event);

// Posts the quit message; the frame loop ends when it has been taken. Main thread only.
void postQuit(int exitCode);
bool quitRequested();
int quitExitCode();
void clearQuit(); // tests

// Posts a sensor message from any thread (the brix worker); the event type brix uses too.
bool postSensorEvent(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

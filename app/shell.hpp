// The main window's procedure, the frame and the orderly shutdown.
#pragma once

#include "platform/events.hpp"

// The main window's handle; null until the window has been created.
extern void* mainWindow;

// Handles one window event: keys, pointer, resize, sensor message, close and destroy.
void windowProc(const Event& event);

// Hands an event taken from the queue to the window procedure and tells the frame schedule.
void dispatchEvent(const Event& event);

// Runs the window-creation steps: user interface, sensor state, sensor link.
void onWindowCreated(int clientWidth, int clientHeight);

// Sets the viewport to the window's 4:3 picture area (height at least 1), scales the bitmap
// font with the picture and loads the identity into the projection matrix.
void resizeViewport(int width, int height);

// The window's client size as the last resize gave it (800 x 600 before any), in pixels.
struct WindowSize {
    int width = 800, height = 600;
};
WindowSize lastWindowSize();

// Window pixels to normalised coordinates (x right, y up) through the window's 4:3 picture
// area, so a click lands on what is drawn; at 800 x 600 this is x = (px/800 - 0.5)*2,
// y = (py/600 - 0.5)*(-2), in double precision. The margins map beyond -1..1.
void pointerToNormalised(int px, int py, int width, int height, float& x, float& y);

// True once the shutdown has run; nothing is drawn after it.
bool shutdownDone();

// The display is gone: the part of the shutdown that needs none (save the settings, close
// the sensor link), once, and only if the shutdown has not run.
void shutdownWithoutDisplay();

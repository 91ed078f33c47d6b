// The main window's procedure, the frame and the orderly shutdown.
#pragma once

#include "platform/events.hpp"

// The main window's handle; null until the window has been created.
extern void* mainWindow;

// Handles one window event: keys, pointer, resize, sensor message, close and destroy.
void windowProc(const Event& event);

// Runs the window-creation steps: user interface, sensor state, sensor link.
void onWindowCreated(int clientWidth, int clientHeight);

// Sets the viewport (height at least 1) and loads the identity into the projection matrix.
void resizeViewport(int width, int height);

// Draws one frame: beat step, indicator decay, panels, menu, training screen, overlay.
void drawFrame();

// True once the shutdown has run; nothing is drawn after it.
bool shutdownDone();

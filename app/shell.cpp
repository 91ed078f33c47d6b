// The main window's procedure: keys, pointer, sensor messages, resize and shutdown.
#include "app/shell.hpp"

#include <GL/gl.h>

#include "app/frame_schedule.hpp"
#include "app/picture_area.hpp"
#include "app/resonance_test_run.hpp"
#include "app/session_flow.hpp"
#include "app/settings.hpp"
#include "brix.h"
#include "brix_message.hpp"
#include "gui/gui.hpp"
#include "gui/menu_layout.hpp"
#include "platform/window.hpp"
#include "render/text.hpp"
#include "training/session_record.hpp"

void* mainWindow = nullptr;

namespace {

struct Point {
    int x = 0, y = 0;
};
Point cursorPos; // last pointer position read on a mouse message, window pixels
bool shutdownHasRun = false;
// The window size of the last resize; the picture stands in its 4:3 area.
int windowWidth = 800, windowHeight = 600;

// Close and destroy both end the program the same way, once.
void shutdownProgram() {
    if (shutdownHasRun) return;
    shutdownHasRun = true;
    quitResonanceTest();
    sessionRecorder.endSession(SessionEnd::Quit);
    saveSettings();
    BrixClose();
    restoreDisplayMode();
    destroyMainWindow();
    postQuit(0);
}

void onKey(int key) {
    switch (key) {
    case kKeyEnter: haltSession(); break;
    case kKeySpace: startSession(); break;
    case kKeyEscape: {
        Event destroy;
        destroy.kind = Event::Kind::Destroy;
        sendEvent(destroy);
        break;
    }
    default: break;
    }
}

} // namespace

bool shutdownDone() { return shutdownHasRun; }

WindowSize lastWindowSize() { return {windowWidth, windowHeight}; }

void shutdownWithoutDisplay() {
    if (shutdownHasRun) return;
    shutdownHasRun = true;
    quitResonanceTest();
    sessionRecorder.endSession(SessionEnd::Quit);
    saveSettings();
    BrixClose();
}

void pointerToNormalised(int px, int py, int width, int height, float& x, float& y) {
    if (width <= 0) width = 800;
    if (height <= 0) height = 600;
    const PictureArea area = pictureAreaFor(width, height);
    x = static_cast<float>((static_cast<double>(px - area.x) / area.width - 0.5) * 2.0);
    y = static_cast<float>((static_cast<double>(py - area.y) / area.height - 0.5) * -2.0);
}

void onWindowCreated(int clientWidth, int clientHeight) {
    shutdownHasRun = false;
    void* window = mainWindowHandle();
    buildUserInterface(clientWidth, clientHeight, window);
    gui.sensor.reset();
    gui.sensor.window = window;
    BrixOpen(window, kSensorMessage); // without sensor messages the program runs the same
}

void resizeViewport(int width, int height) {
    if (height == 0) height = 1;
    windowWidth = width;
    windowHeight = height;
    const PictureArea area = pictureAreaFor(width, height);
    applyPictureArea(area, width, height);
    // Bitmap text is sized in pixels: its font follows the picture's scale.
    scaleBitmapFont(area.height / 600.0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
}

void windowProc(const Event& event) {
    switch (event.kind) {
    case Event::Kind::KeyDown: onKey(event.key); break;
    case Event::Kind::MouseMove:
    case Event::Kind::LeftButton: {
        cursorPos = {event.x, event.y};
        float x = 0, y = 0;
        pointerToNormalised(cursorPos.x, cursorPos.y, windowWidth, windowHeight, x, y);
        if (event.kind == Event::Kind::MouseMove) gui.onHover(x, y);
        else gui.onClick(x, y);
        break;
    }
    case Event::Kind::Resize:
        resizeViewport(event.width, event.height);
        redrawNextFrame();
        break;
    case Event::Kind::Exposed: redrawNextFrame(); break;
    case Event::Kind::Sensor:
        if (event.message == kSensorMessage)
            gui.sensor.onMessage(event.wParam, event.lParam, event.tick);
        break;
    case Event::Kind::Close:
    case Event::Kind::Destroy: shutdownProgram(); break;
    case Event::Kind::None: break;
    }
}

void dispatchEvent(const Event& event) {
    windowProc(event);
    eventHandled(!gui.sensor.pendingBeats.empty());
}

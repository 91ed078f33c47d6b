// The floor program: the real program's window, pace and background mesh, and nothing else,
// so its start-up, CPU share and memory are what any program drawing that mesh must pay.
// Usage: halvent_floor [--windowed] [--fps N]; Esc or closing the window ends it.
#include <GL/gl.h>

#include <cstdlib>
#include <string>

#include "app/shell.hpp"
#include "bench/floor_frame.hpp"
#include "gui/gui.hpp"
#include "platform/events.hpp"
#include "platform/process_memory.hpp"
#include "platform/window.hpp"

namespace {
bool running = true;

void onEvent(const Event& event) {
    if (event.kind == Event::Kind::Close || event.kind == Event::Kind::Destroy ||
        (event.kind == Event::Kind::KeyDown && event.key == kKeyEscape))
        running = false;
}
} // namespace

int main(int argc, char** argv) {
    returnLargeFreedBlocks(); // as the program does, so both are measured alike
    WindowOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--windowed") options.windowed = true;
        else if (arg == "--fps" && i + 1 < argc) options.fps = std::atoi(argv[++i]);
    }
    setWindowProcedure(onEvent);
    if (createMainWindow(options) != WindowResult::Ok) return 1;
    int width = 800, height = 600;
    windowClientSize(width, height);
    resizeViewport(width, height);
    // The depth and clear state the program's user-interface build sets.
    glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    loadFloorTexture();
    gui.session.phase = 0;
    enterFullscreenMode();

    while (running) {
        Event event;
        while (pollEvent(event)) onEvent(event);
        if (quitRequested() || !running) break;
        drawFloorFrame();
        swapWindowBuffers();
    }
    shutdownPlatform();
    return 0;
}

// A program frame: advance, ask the schedule, draw.
#include "app/program_frame.hpp"

#include <GL/gl.h>

#include "app/frame_advance.hpp"
#include "app/frame_schedule.hpp"
#include "app/picture_area.hpp"
#include "app/shell.hpp"
#include "gui/gui.hpp"
#include "render/menu_picture.hpp"
#include "render/prompt_overlay.hpp"

bool runFrame() {
    const FrameAdvance advance = advanceFrame();
    if (!frameMustBeDrawn(advance.pictureChanged, advance.atRest)) return false;
    drawFrame(advance.frame);
    return true;
}

void advanceAndDrawFrame() {
    drawFrame(advanceFrame().frame);
}

void drawFrame(const Frame& frame) {
    const WindowSize window = lastWindowSize();
    const PictureArea area = pictureAreaFor(window.width, window.height);
    clearPictureMargins(area, window.width, window.height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    const Viewport viewport = viewportFor(area, window.width, window.height);
    if (frame.menuShown) {
        gui.drawMenu(frame.menu, viewport);
        return;
    }
    // A session has no use for the kept menu picture: its 2 MB go back while the session runs.
    forgetMenuPicture();
    gui.drawTraining(viewport);
    if (frame.promptShown) drawPromptOverlay();
}

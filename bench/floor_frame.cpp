// The floor frame: the heaviest element of the training screen and nothing else.
#include "bench/floor_frame.hpp"

#include <GL/gl.h>

#include "gui/gui.hpp"

void loadFloorTexture() {
    const auto background = readDibFile("./img/backg.bmp");
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(gui.backgroundTexture));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (background)
        glTexImage2D(GL_TEXTURE_2D, 0, 3, background->width, background->height, 0, GL_RGB,
                     GL_UNSIGNED_BYTE, background->pixels.data());
}

void drawFloorFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.1f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(gui.backgroundTexture));
    gui.drawBackgroundMesh();
    gui.trainingScreen.lensPhase =
        static_cast<float>(gui.trainingScreen.lensPhase + 0.031415927410125735);
}

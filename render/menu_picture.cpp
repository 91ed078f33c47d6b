// The kept menu picture: a copy of the back buffer, put back pixel for pixel.
#include "render/menu_picture.hpp"

#include <GL/gl.h>

namespace {

GLuint texture = 0;
bool kept = false;
std::uint64_t keptFingerprint = 0;
GLint keptViewport[4] = {0, 0, 0, 0};

bool sameViewport() {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    for (int i = 0; i < 4; ++i)
        if (viewport[i] != keptViewport[i]) return false;
    return true;
}

} // namespace

bool drawKeptMenuPicture(std::uint64_t menuFingerprint) {
    if (!kept || keptFingerprint != menuFingerprint || !sameViewport()) return false;
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    // White modulation and nearest sampling at the pixel centres give back every pixel as it was.
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    constexpr float z = -0.001f; // the widgets' depth
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, z);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.0f, 1.0f, z);
    glEnd();
    return true;
}

void keepMenuPicture(std::uint64_t menuFingerprint) {
    if (texture == 0 || !glIsTexture(texture)) glGenTextures(1, &texture);
    glGetIntegerv(GL_VIEWPORT, keptViewport);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, keptViewport[0], keptViewport[1], keptViewport[2],
                     keptViewport[3], 0);
    kept = glGetError() == GL_NO_ERROR;
    keptFingerprint = menuFingerprint;
}

void forgetMenuPicture() {
    kept = false;
    // In the context it was made in the texture is let go; in a new one the name is unknown
    // and there is nothing to let go.
    if (texture != 0 && glIsTexture(texture)) glDeleteTextures(1, &texture);
    texture = 0;
}

// The colour scheme of the training screen: one tint per breathing phase.
#pragma once

#include <GL/gl.h>

#include <cstdint>

// Sets the current colour to the tint of `phase` (0 inhale, 2 exhale, 1 and 3 pauses) with
// the given alpha; an unknown phase leaves the colour in force.
inline void setPhaseTint(std::int32_t phase, float alpha) {
    switch (phase) {
    case 0:
        glColor4f(0.76f, 0.39f, 0.31f, alpha);
        break;
    case 2:
        glColor4f(0.31f, 0.39f, 0.76f, alpha);
        break;
    case 1:
    case 3:
        glColor4f(0.31f, 0.76f, 0.39f, alpha);
        break;
    default:
        break;
    }
}

// Round shapes filled in a few large triangles rather than a fan of slivers.
#pragma once

#include <span>

struct Corner3 {
    float x, y, z;
};

// Fills the polygon the corners outline, as GL_POLYGON fills it (one fan from the first
// corner): the same pixels, each once. Every corner must see all the others, as the centre of
// a sector sees its arc, and the corners after the first must bend one way, less than half a
// turn between any two that are a quarter of the list apart (a circle's points do). The
// rasteriser shades whole blocks of pixels along every edge, so a fan of a hundred slivers
// shades the pixels near its centre a hundred times over; these triangles cover the same area
// with short edges.
void fillPolygon(std::span<const Corner3> corners);

// Round shapes filled in a few large triangles rather than a fan of slivers.
#include "render/polygon_fill.hpp"

#include <GL/gl.h>

#include <cstddef>

namespace {

void vertex(const Corner3& c) { glVertex3f(c.x, c.y, c.z); }

void triangle(const Corner3& a, const Corner3& b, const Corner3& c) {
    vertex(a);
    vertex(b);
    vertex(c);
}

// The part of a convex polygon between the chord from `from` to `to` and the corners between
// them, halved at each step so every edge is as short as the arc allows.
void fillCap(std::span<const Corner3> corners, std::size_t from, std::size_t to) {
    if (to - from < 2) return;
    const std::size_t middle = from + (to - from) / 2;
    triangle(corners[from], corners[middle], corners[to]);
    fillCap(corners, from, middle);
    fillCap(corners, middle, to);
}

// Corners per cap: a quarter turn of a circle drawn in steps of 0.05 rad, well short of the
// half turn beyond which a cap's chord would leave the polygon.
constexpr std::size_t kCornersPerCap = 32;

} // namespace

void fillPolygon(std::span<const Corner3> corners) {
    if (corners.size() < 3) return;
    // The fan's corners seen from the first: a few wide triangles from it, each closed by the
    // cap of corners between its other two.
    glBegin(GL_TRIANGLES);
    const std::size_t last = corners.size() - 1;
    for (std::size_t from = 1; from < last; from += kCornersPerCap) {
        const std::size_t to = from + kCornersPerCap < last ? from + kCornersPerCap : last;
        triangle(corners[0], corners[from], corners[to]);
        fillCap(corners, from, to);
    }
    glEnd();
}

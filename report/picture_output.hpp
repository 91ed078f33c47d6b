// Where a drawing goes: a PNG or an SVG file, or PNG bytes in memory for an HTML page.
#pragma once

#include <cairo.h>

#include <functional>
#include <string>

// Draws onto a fresh surface of width x height (pixels for PNG, points for SVG).
using DrawPicture = std::function<void(cairo_t*)>;

// Writes a PNG, or an SVG when the path ends in ".svg"; false with a message on failure.
bool writePicture(const std::string& path, int width, int height, const DrawPicture& draw,
                  std::string& error);
// The picture as PNG bytes.
bool renderPng(int width, int height, const DrawPicture& draw, std::string& png,
               std::string& error);

// Cairo surfaces for the report's pictures: PNG in memory or on disk, SVG on disk.
#include "report/picture_output.hpp"

#include <cairo-svg.h>

#include <cstdio>
#include <memory>

namespace {

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// Draws onto the surface; the Cairo error, if any, as text.
bool drawOnto(cairo_surface_t* surface, const DrawPicture& draw, std::string& error) {
    Context cr(cairo_create(surface), cairo_destroy);
    draw(cr.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(cairo_status(cr.get()));
        return false;
    }
    return true;
}

} // namespace

bool renderPng(int width, int height, const DrawPicture& draw, std::string& png,
               std::string& error) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height),
                    cairo_surface_destroy);
    if (!drawOnto(surface.get(), draw, error)) return false;
    png.clear();
    const cairo_status_t status =
        cairo_surface_write_to_png_stream(surface.get(), appendToString, &png);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(status);
        return false;
    }
    return true;
}

bool writePicture(const std::string& path, int width, int height, const DrawPicture& draw,
                  std::string& error) {
    const bool svg = path.size() >= 4 && path.compare(path.size() - 4, 4, ".svg") == 0;
    if (svg) {
        Surface surface(cairo_svg_surface_create(path.c_str(), width, height),
                        cairo_surface_destroy);
        if (!drawOnto(surface.get(), draw, error)) return false;
        cairo_surface_finish(surface.get());
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
            error = cairo_status_to_string(cairo_surface_status(surface.get()));
            return false;
        }
        return true;
    }
    std::string png;
    if (!renderPng(width, height, draw, png, error)) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot be written";
        return false;
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (std::fclose(file) != 0 || !written) {
        error = "cannot be written";
        return false;
    }
    return true;
}

// Drawing surfaces for the asset generator: Cairo canvases addressed in texture coordinates,
// soft blurs, edge colour bleeding, and the TGA, BMP and WAV writers.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

struct Colour {
    double r, g, b;
};

// #RRGGBB to a colour.
Colour hex(std::uint32_t rgb);
Colour mix(const Colour& a, const Colour& b, double t);

// A square ARGB canvas. Cairo's y runs down from the top of the picture; texture t runs up
// from the bottom, so t = 1 is Cairo's row 0.
class Canvas {
  public:
    explicit Canvas(int size);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cr() const { return cr_; }
    cairo_surface_t* surface() const { return surface_; }
    int size() const { return size_; }

    // Texture coordinates to Cairo pixels.
    double x(double s) const { return s * size_; }
    double y(double t) const { return (1.0 - t) * size_; }

    // Clips drawing to the texture rectangle s0..s1, t0..t1 (until restore()).
    void clipRegion(double s0, double t0, double s1, double t1);
    void save() { cairo_save(cr_); }
    void restore() { cairo_restore(cr_); }

    // Straight (not premultiplied) RGBA bytes, top row first.
    std::vector<std::uint8_t> rgba() const;
    // Sets the colour of fully transparent pixels to that of their nearest visible neighbours,
    // so linear filtering at soft edges blends toward the edge colour instead of black.
    static void bleedEdges(std::vector<std::uint8_t>& rgba, int size, int passes);

  private:
    int size_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

// A blurred copy of a premultiplied ARGB surface (three box passes, about a Gaussian of the
// given radius), painted onto `target` at full size.
void paintBlurred(cairo_t* target, cairo_surface_t* source, int radius, double alpha = 1.0);

void roundedRectangle(cairo_t* cr, double x, double y, double w, double h, double r);

// 32-bit uncompressed TGA (type 2), bottom-left origin, from straight RGBA rows top first.
bool writeTga32(const std::string& path, const std::vector<std::uint8_t>& rgba, int size);
// 24-bit Windows bitmap with the 40-byte header, bottom row first, from RGBA rows top first.
bool writeBmp24(const std::string& path, const std::vector<std::uint8_t>& rgba, int size);
// 16-bit PCM, mono, 44,100 Hz; samples in -1..1.
bool writeWav(const std::string& path, const std::vector<double>& samples);
constexpr int kSampleRate = 44100;

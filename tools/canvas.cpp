// Canvases, blur, edge bleeding and the file writers of the asset generator.
#include "canvas.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

Colour hex(std::uint32_t rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

Colour mix(const Colour& a, const Colour& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Canvas::Canvas(int size)
    : size_(size), surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size)),
      cr_(cairo_create(surface_)) {}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

void Canvas::clipRegion(double s0, double t0, double s1, double t1) {
    cairo_save(cr_);
    cairo_rectangle(cr_, x(s0), y(t1), x(s1) - x(s0), y(t0) - y(t1));
    cairo_clip(cr_);
}

std::vector<std::uint8_t> Canvas::rgba() const {
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(size_) * size_ * 4);
    for (int yy = 0; yy < size_; ++yy) {
        for (int xx = 0; xx < size_; ++xx) {
            std::uint32_t px;
            std::memcpy(&px, data + yy * stride + xx * 4, 4);
            const unsigned a = px >> 24;
            const auto unpremultiply = [a](unsigned c) {
                return static_cast<std::uint8_t>(a == 0 ? 0
                                                        : std::min(255u, (c * 255 + a / 2) / a));
            };
            std::uint8_t* o = out.data() + (static_cast<std::size_t>(yy) * size_ + xx) * 4;
            o[0] = unpremultiply((px >> 16) & 0xFF);
            o[1] = unpremultiply((px >> 8) & 0xFF);
            o[2] = unpremultiply(px & 0xFF);
            o[3] = static_cast<std::uint8_t>(a);
        }
    }
    return out;
}

void Canvas::bleedEdges(std::vector<std::uint8_t>& rgba, int size, int passes) {
    std::vector<bool> known(static_cast<std::size_t>(size) * size);
    for (std::size_t i = 0; i < known.size(); ++i)
        known[i] = rgba[i * 4 + 3] != 0;
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<bool> next = known;
        for (int yy = 0; yy < size; ++yy) {
            for (int xx = 0; xx < size; ++xx) {
                const std::size_t i = static_cast<std::size_t>(yy) * size + xx;
                if (known[i]) continue;
                unsigned sum[3] = {0, 0, 0};
                unsigned count = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = xx + dx, ny = yy + dy;
                        if (nx < 0 || ny < 0 || nx >= size || ny >= size) continue;
                        const std::size_t j = static_cast<std::size_t>(ny) * size + nx;
                        if (!known[j]) continue;
                        for (int c = 0; c < 3; ++c)
                            sum[c] += rgba[j * 4 + c];
                        ++count;
                    }
                }
                if (count == 0) continue;
                for (int c = 0; c < 3; ++c)
                    rgba[i * 4 + c] = static_cast<std::uint8_t>(sum[c] / count);
                next[i] = true;
            }
        }
        known = std::move(next);
    }
}

namespace {

// One horizontal or vertical box pass over premultiplied ARGB.
void boxPass(std::vector<float>& px, int w, int h, int radius, bool horizontal) {
    std::vector<float> out(px.size());
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int line = 0; line < lines; ++line) {
        auto at = [&](int i) -> std::size_t {
            i = std::clamp(i, 0, length - 1);
            const int xx = horizontal ? i : line;
            const int yy = horizontal ? line : i;
            return (static_cast<std::size_t>(yy) * w + xx) * 4;
        };
        float sum[4] = {0, 0, 0, 0};
        for (int i = -radius; i <= radius; ++i)
            for (int c = 0; c < 4; ++c)
                sum[c] += px[at(i) + c];
        for (int i = 0; i < length; ++i) {
            for (int c = 0; c < 4; ++c)
                out[at(i) + c] = sum[c] * scale;
            for (int c = 0; c < 4; ++c)
                sum[c] += px[at(i + radius + 1) + c] - px[at(i - radius) + c];
        }
    }
    px = std::move(out);
}

} // namespace

void paintBlurred(cairo_t* target, cairo_surface_t* source, int radius, double alpha) {
    cairo_surface_flush(source);
    const int w = cairo_image_surface_get_width(source);
    const int h = cairo_image_surface_get_height(source);
    const int stride = cairo_image_surface_get_stride(source);
    const unsigned char* data = cairo_image_surface_get_data(source);
    std::vector<float> px(static_cast<std::size_t>(w) * h * 4);
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx)
            for (int c = 0; c < 4; ++c)
                px[(static_cast<std::size_t>(yy) * w + xx) * 4 + c] =
                    data[yy * stride + xx * 4 + c];
    const int box = std::max(1, radius / 2);
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(px, w, h, box, true);
        boxPass(px, w, h, box, false);
    }
    cairo_surface_t* blurred = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    unsigned char* out = cairo_image_surface_get_data(blurred);
    const int outStride = cairo_image_surface_get_stride(blurred);
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx)
            for (int c = 0; c < 4; ++c)
                out[yy * outStride + xx * 4 + c] = static_cast<unsigned char>(std::clamp(
                    px[(static_cast<std::size_t>(yy) * w + xx) * 4 + c] + 0.5f, 0.0f, 255.0f));
    cairo_surface_mark_dirty(blurred);
    cairo_save(target);
    cairo_set_source_surface(target, blurred, 0, 0);
    cairo_paint_with_alpha(target, alpha);
    cairo_restore(target);
    cairo_surface_destroy(blurred);
}

void roundedRectangle(cairo_t* cr, double x, double y, double w, double h, double r) {
    r = std::min({r, w / 2, h / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

namespace {

void put16(std::vector<std::uint8_t>& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

bool save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

bool writeTga32(const std::string& path, const std::vector<std::uint8_t>& rgba, int size) {
    std::vector<std::uint8_t> b;
    b.push_back(0); // no identification field
    b.push_back(0); // no colour map
    b.push_back(2); // uncompressed true colour
    for (int i = 0; i < 5; ++i)
        b.push_back(0);
    put16(b, 0);
    put16(b, 0);
    put16(b, static_cast<unsigned>(size));
    put16(b, static_cast<unsigned>(size));
    b.push_back(32);
    b.push_back(0x08); // 8 alpha bits, bottom-left origin
    for (int yy = size - 1; yy >= 0; --yy) {
        for (int xx = 0; xx < size; ++xx) {
            const std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(yy) * size + xx) * 4;
            b.push_back(p[2]);
            b.push_back(p[1]);
            b.push_back(p[0]);
            b.push_back(p[3]);
        }
    }
    return save(path, b);
}

bool writeBmp24(const std::string& path, const std::vector<std::uint8_t>& rgba, int size) {
    const auto rowBytes = static_cast<std::uint32_t>((size * 3 + 3) / 4 * 4);
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(size);
    std::vector<std::uint8_t> b;
    b.push_back('B');
    b.push_back('M');
    put32(b, 14 + 40 + imageBytes);
    put32(b, 0);
    put32(b, 14 + 40);
    put32(b, 40);
    put32(b, static_cast<std::uint32_t>(size));
    put32(b, static_cast<std::uint32_t>(size));
    put16(b, 1);
    put16(b, 24);
    put32(b, 0);
    put32(b, imageBytes);
    put32(b, 2835); // 72 dots per inch
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (int yy = size - 1; yy >= 0; --yy) {
        for (int xx = 0; xx < size; ++xx) {
            const std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(yy) * size + xx) * 4;
            b.push_back(p[2]);
            b.push_back(p[1]);
            b.push_back(p[0]);
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(size) * 3; pad < rowBytes; ++pad)
            b.push_back(0);
    }
    return save(path, b);
}

bool writeWav(const std::string& path, const std::vector<double>& samples) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> b;
    for (char c : std::string("RIFF"))
        b.push_back(static_cast<std::uint8_t>(c));
    put32(b, 36 + dataBytes);
    for (char c : std::string("WAVEfmt "))
        b.push_back(static_cast<std::uint8_t>(c));
    put32(b, 16);
    put16(b, 1); // PCM
    put16(b, 1); // mono
    put32(b, kSampleRate);
    put32(b, kSampleRate * 2);
    put16(b, 2);
    put16(b, 16);
    for (char c : std::string("data"))
        b.push_back(static_cast<std::uint8_t>(c));
    put32(b, dataBytes);
    for (double s : samples) {
        const long v = std::lround(std::clamp(s, -1.0, 1.0) * 32767.0);
        put16(b, static_cast<unsigned>(static_cast<std::uint16_t>(static_cast<std::int16_t>(v))));
    }
    return save(path, b);
}

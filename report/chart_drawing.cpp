// Text, colours and axis steps for the report's Cairo drawing.
#include "report/chart_drawing.hpp"

#include <cmath>
#include <cstdio>

void setColour(cairo_t* cr, Rgb c, double alpha) {
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, alpha);
}

void drawText(cairo_t* cr, double x, double y, const std::string& s, double size, Align align) {
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, s.c_str(), &extents);
    if (align == Align::Right) x -= extents.x_advance;
    if (align == Align::Centre) x -= extents.x_advance / 2;
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, s.c_str());
}

double textWidth(cairo_t* cr, const std::string& s, double size) {
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, s.c_str(), &extents);
    return extents.x_advance;
}

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string orDash(const std::optional<double>& value, const char* pattern) {
    return value ? format(pattern, *value) : std::string("-");
}

double niceStep(double range, int ticks) {
    if (!(range > 0.0) || ticks < 1) return 1.0;
    const double raw = range / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * magnitude >= raw) return m * magnitude;
    return 10.0 * magnitude;
}

std::string ValueScale::label(double value) const {
    if (std::fabs(value) < step * 1e-6) value = 0.0; // no "-0.0" where the sum of steps missed 0
    return format(step >= 1.0 ? "%.0f" : step >= 0.1 ? "%.1f" : "%.2f", value);
}

ValueScale valueScaleFor(double least, double greatest, int ticks) {
    if (!(greatest > least)) greatest = least + 1.0;
    const double step = niceStep(greatest - least, ticks);
    return {std::floor(least / step) * step, std::ceil(greatest / step) * step, step};
}

std::string TimeAxis::label(double seconds) const {
    const long s = std::lround(seconds);
    char buffer[32];
    if (inSeconds)
        std::snprintf(buffer, sizeof buffer, "%ld", s);
    else
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
    return buffer;
}

TimeAxis timeAxisFor(double endSeconds, int mostTicks) {
    // Under two minutes, seconds read more easily than "0:45", "1:00", "1:15".
    const bool inSeconds = endSeconds < 120.0;
    static constexpr double kSteps[] = {1,   2,   5,   10,   15,   30,   60,   120,
                                        300, 600, 900, 1800, 3600, 7200, 18000};
    for (double step : kSteps)
        if (endSeconds / step <= mostTicks) return {step, inSeconds};
    return {niceStep(endSeconds / 3600.0, mostTicks) * 3600.0, inSeconds};
}

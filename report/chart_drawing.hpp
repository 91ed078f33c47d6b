// Drawing helpers the report's panels share: colours, text, and the steps and labels of axes.
#pragma once

#include <cairo.h>

#include <optional>
#include <string>

struct Rgb {
    double red, green, blue;
};
void setColour(cairo_t* cr, Rgb c, double alpha = 1.0);

// Text with its left edge at x (or its right edge, or centred) and its baseline at y.
enum class Align { Left, Right, Centre };
void drawText(cairo_t* cr, double x, double y, const std::string& s, double size,
              Align align = Align::Left);
// The width the text takes at that size.
double textWidth(cairo_t* cr, const std::string& s, double size);

std::string format(const char* pattern, double value);
// The value by the pattern, or "-" when there is none.
std::string orDash(const std::optional<double>& value, const char* pattern);

// A tick step for a range from 1-2-5 steps, giving at most about `ticks` ticks.
double niceStep(double range, int ticks);

// A value axis from `low` to `high` in whole steps, covering the values it was made for.
struct ValueScale {
    double low, high, step;
    // The label of a tick, with as many decimals as the step needs.
    std::string label(double value) const;
};
ValueScale valueScaleFor(double least, double greatest, int ticks);

// A time axis from 0 to some seconds: steps a clock reader counts in (1, 2, 5, 10, 15, 30 s,
// then whole minutes), never below a second, so no two labels read the same. Short spans are
// labelled in seconds ("45"), longer ones as minutes and seconds ("12:30").
struct TimeAxis {
    double stepSeconds;
    bool inSeconds;
    std::string label(double seconds) const;
    const char* unit() const { return inSeconds ? "s" : "min:s"; }
};
TimeAxis timeAxisFor(double endSeconds, int mostTicks);

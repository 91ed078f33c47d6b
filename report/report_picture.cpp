// The report picture: heart rate beat by beat over the shaded phases, and the trend panel.
#include "report/report_picture.hpp"

#include <cairo-svg.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// Plot area of the beat panel, in pixels.
constexpr double kLeft = 70, kRight = kReportWidth - 20, kTop = 50, kBottom = 520;
// The ribbon below the plot shows each phase in its full tint.
constexpr double kRibbonTop = 526, kRibbonHeight = 16;
constexpr Rgb kCurve{0.12, 0.12, 0.12};
constexpr Rgb kCycleMean{0.55, 0.0, 0.35};
constexpr Rgb kRmssdColour{0.10, 0.30, 0.70};
constexpr Rgb kArrhythmiaColour{0.80, 0.30, 0.10};

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, alpha);
}

// Text with its left edge at x (or its right edge, or centred) and its baseline at y.
enum class Align { Left, Right, Centre };
void text(cairo_t* cr, double x, double y, const std::string& s, double size,
          Align align = Align::Left) {
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, s.c_str(), &extents);
    if (align == Align::Right) x -= extents.x_advance;
    if (align == Align::Centre) x -= extents.x_advance / 2;
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, s.c_str());
}

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string orDash(const std::optional<double>& value, const char* pattern) {
    return value ? format(pattern, *value) : std::string("-");
}

// A tick step for a range, from 1-2-5 steps, giving at most about `ticks` ticks.
double niceStep(double range, int ticks) {
    const double raw = range / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * magnitude >= raw) return m * magnitude;
    return 10.0 * magnitude;
}

std::string clockTime(double seconds) {
    const long s = std::lround(seconds);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
    return buffer;
}

std::vector<FigureBeat> figureBeats(const SessionRecordData& record) {
    std::vector<FigureBeat> beats;
    beats.reserve(record.beats.size());
    for (const RecordedBeat& b : record.beats)
        beats.push_back(
            {static_cast<double>(b.intervalMs), b.phase, b.cycle, false, b.gap, b.ms, b.breath});
    return beats;
}

void drawBeatPanel(cairo_t* cr, const ReportSession& session) {
    const std::vector<RecordedBeat>& beats = session.record.beats;
    const std::vector<FigureBeat> asFigures = figureBeats(session.record);
    const double endSeconds = std::max(1.0, static_cast<double>(beats.back().ms) / 1000.0);

    double low = 1e9, high = -1e9;
    for (std::size_t i = 0; i < beats.size(); ++i) {
        if (!beatIsUsable(asFigures[i], i == 0)) continue;
        const double hr = 60000.0 / beats[i].intervalMs;
        low = std::min(low, hr);
        high = std::max(high, hr);
    }
    if (low > high) low = 40, high = 120;
    low = std::floor((low - 3) / 10) * 10;
    high = std::ceil((high + 3) / 10) * 10;
    const auto x = [&](double seconds) { return kLeft + (kRight - kLeft) * seconds / endSeconds; };
    const auto y = [&](double hr) {
        return kBottom - (kBottom - kTop) * (hr - low) / (high - low);
    };

    // Phases: from each beat to the next the pacer stands where that beat put it; before the
    // first beat it stands at the start of the inhale.
    // Runs of beats in one phase make one band, so no seams show between beats.
    for (std::size_t i = 0; i < beats.size();) {
        const std::int32_t phase = i == 0 ? 0 : beats[i - 1].phase;
        const double from = i == 0 ? 0.0 : static_cast<double>(beats[i - 1].ms) / 1000.0;
        std::size_t j = i + 1;
        while (j < beats.size() && beats[j - 1].phase == phase)
            ++j;
        const double to = static_cast<double>(beats[j - 1].ms) / 1000.0;
        i = j;
        if (to <= from) continue;
        const double left = std::round(x(from)), width = std::round(x(to)) - left;
        const Rgb tint = phaseTint(phase);
        setColour(cr, tint, 0.28);
        cairo_rectangle(cr, left, kTop, width, kBottom - kTop);
        cairo_fill(cr);
        setColour(cr, tint);
        cairo_rectangle(cr, left, kRibbonTop, width, kRibbonHeight);
        cairo_fill(cr);
    }

    // Grid and axes.
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.15);
    for (double hr = low; hr <= high + 1e-9; hr += 10) {
        cairo_move_to(cr, kLeft, std::round(y(hr)) + 0.5);
        cairo_line_to(cr, kRight, std::round(y(hr)) + 0.5);
    }
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_rectangle(cr, kLeft + 0.5, kTop + 0.5, kRight - kLeft, kBottom - kTop);
    cairo_stroke(cr);
    for (double hr = low; hr <= high + 1e-9; hr += 10)
        text(cr, kLeft - 6, y(hr) + 4, format("%.0f", hr), 12, Align::Right);
    const double step = niceStep(endSeconds, 12);
    for (double t = 0; t <= endSeconds + 1e-9; t += step)
        text(cr, x(t), kRibbonTop + kRibbonHeight + 16, clockTime(t), 12, Align::Centre);
    text(cr, 14, kTop - 14, "heart rate, beats a minute", 13);
    text(cr, kRight, kRibbonTop + kRibbonHeight + 34, "time since the start (min:s)", 12,
         Align::Right);

    // Heart rate beat by beat; a beat left out of the figures breaks the line.
    setColour(cr, kCurve);
    cairo_set_line_width(cr, 1.4);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    bool drawing = false;
    for (std::size_t i = 0; i < beats.size(); ++i) {
        if (!beatIsUsable(asFigures[i], i == 0)) {
            drawing = false;
            continue;
        }
        const double px = x(static_cast<double>(beats[i].ms) / 1000.0),
                     py = y(60000.0 / beats[i].intervalMs);
        if (drawing)
            cairo_line_to(cr, px, py);
        else
            cairo_move_to(cr, px, py);
        drawing = true;
    }
    cairo_stroke(cr);

    // The mean of each cycle, across the cycle's own beats.
    setColour(cr, kCycleMean);
    cairo_set_line_width(cr, 3.0);
    for (std::size_t i = 0; i < beats.size();) {
        std::size_t j = i;
        double sum = 0;
        int count = 0;
        for (; j < beats.size() && beats[j].cycle == beats[i].cycle; ++j)
            if (beatIsUsable(asFigures[j], j == 0)) sum += 60000.0 / beats[j].intervalMs, ++count;
        if (count > 0) {
            const double from = i == 0 ? 0.0 : static_cast<double>(beats[i - 1].ms) / 1000.0;
            cairo_move_to(cr, x(from), y(sum / count));
            cairo_line_to(cr, x(static_cast<double>(beats[j - 1].ms) / 1000.0), y(sum / count));
        }
        i = j;
    }
    cairo_stroke(cr);

    // Title, legend and the figures in the top right corner.
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, kRight, kTop - 14, session.name + (session.date.empty() ? "" : "   " + session.date),
         14, Align::Right);
    double legendX = kLeft;
    const double legendY = kRibbonTop + kRibbonHeight + 34;
    const auto swatch = [&](Rgb colour, const char* label, bool line) {
        setColour(cr, colour);
        if (line)
            cairo_rectangle(cr, legendX, legendY - 6, 18, 3);
        else
            cairo_rectangle(cr, legendX, legendY - 10, 18, 12);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, legendX + 24, legendY, label, 12);
        legendX += 130;
    };
    swatch(phaseTint(0), "inhale", false);
    swatch(phaseTint(1), "hold", false);
    swatch(phaseTint(2), "exhale", false);
    swatch(kCurve, "heart rate", true);
    swatch(kCycleMean, "cycle mean", true);

    const HrvFigures& f = session.figures;
    std::vector<std::string> lines = {
        "mean HR   " + orDash(f.meanHr, "%.1f /min"),
        "HR range  " + (f.minHr ? format("%.1f", *f.minHr) + " - " + format("%.1f /min", *f.maxHr)
                                : std::string("-")),
        "SDNN      " + orDash(f.sdnnMs, "%.1f ms"),
        "RMSSD     " + orDash(f.rmssdMs, "%.1f ms"),
        "pNN50     " + orDash(f.pnn50, "%.1f %%"),
        "in - ex   " + orDash(f.arrhythmiaMean, "%.1f /min") +
            (f.arrhythmiaSd ? format(" (sd %.1f)", *f.arrhythmiaSd) : std::string()),
        "beats     " + std::to_string(f.beats) + " (" + std::to_string(f.leftOut) + " left out)",
    };
    // The breathing under the heart rate: its rate, and how it kept to the pacer's phases.
    const BreathFigures& b = session.breathing;
    const std::vector<std::string> breathing =
        b.beatsWithBreath == 0
            ? std::vector<std::string>{"breathing no breath sensor"}
            : std::vector<std::string>{"breathing " + orDash(b.meanRatePerMin, "%.1f /min"),
                                       "followed  in " +
                                           orDash(b.inhaleBreathedInPercent, "%.0f %%") + ", out " +
                                           orDash(b.exhaleBreathedOutPercent, "%.0f %%")};
    lines.insert(lines.begin() + 2, breathing.begin(), breathing.end());
    const double boxWidth = 250, boxHeight = 18.0 * static_cast<double>(lines.size()) + 14;
    const double boxX = kRight - boxWidth - 8, boxY = kTop + 8;
    cairo_set_source_rgba(cr, 1, 1, 1, 0.88);
    cairo_rectangle(cr, boxX, boxY, boxWidth, boxHeight);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_select_font_face(cr, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (std::size_t i = 0; i < lines.size(); ++i)
        text(cr, boxX + 10, boxY + 20 + 18.0 * static_cast<double>(i), lines[i], 13);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

void drawTrendPanel(cairo_t* cr, const std::vector<ReportSession>& sessions) {
    const double top = kReportBeatPanelHeight + 40, bottom = top + kReportTrendPanelHeight - 110;
    const double left = kLeft, right = kRight - 50;
    double rmssdHigh = 10, arrhythmiaLow = 0, arrhythmiaHigh = 2;
    for (const ReportSession& s : sessions) {
        if (s.figures.rmssdMs) rmssdHigh = std::max(rmssdHigh, *s.figures.rmssdMs);
        if (s.figures.arrhythmiaMean) {
            arrhythmiaHigh = std::max(arrhythmiaHigh, *s.figures.arrhythmiaMean);
            arrhythmiaLow = std::min(arrhythmiaLow, *s.figures.arrhythmiaMean);
        }
    }
    rmssdHigh *= 1.15;
    arrhythmiaHigh *= 1.15;
    const std::size_t n = sessions.size();
    const auto x = [&](std::size_t i) {
        return left + (right - left) * (static_cast<double>(i) + 0.5) / static_cast<double>(n);
    };

    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, left + 0.5, top + 0.5, right - left, bottom - top);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, 14, top - 14, "trend over the sessions", 14);
    setColour(cr, kRmssdColour);
    text(cr, left, bottom + 52, "RMSSD (ms, left scale)", 12);
    text(cr, left - 6, top + 10, format("%.0f", rmssdHigh), 12, Align::Right);
    text(cr, left - 6, bottom, "0", 12, Align::Right);
    setColour(cr, kArrhythmiaColour);
    text(cr, left + 220, bottom + 52, "inhale - exhale HR (/min, right scale)", 12);
    text(cr, right + 6, top + 10, format("%.1f", arrhythmiaHigh), 12);
    text(cr, right + 6, bottom, format("%.1f", arrhythmiaLow), 12);

    const std::size_t labelEvery = std::max<std::size_t>(1, n / 8);
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (std::size_t i = 0; i < n; i += labelEvery)
        text(cr, x(i), bottom + 18, sessions[i].date.empty() ? sessions[i].name : sessions[i].date,
             11, Align::Centre);

    const auto series = [&](Rgb colour, auto value, double low, double high) {
        setColour(cr, colour);
        cairo_set_line_width(cr, 2);
        bool drawing = false;
        for (std::size_t i = 0; i < n; ++i) {
            const std::optional<double> v = value(sessions[i]);
            if (!v) {
                drawing = false;
                continue;
            }
            const double py = bottom - (bottom - top) * (*v - low) / (high - low);
            if (drawing)
                cairo_line_to(cr, x(i), py);
            else
                cairo_move_to(cr, x(i), py);
            drawing = true;
        }
        cairo_stroke(cr);
        for (std::size_t i = 0; i < n; ++i)
            if (const std::optional<double> v = value(sessions[i])) {
                cairo_arc(cr, x(i), bottom - (bottom - top) * (*v - low) / (high - low), 4, 0,
                          2 * M_PI);
                cairo_fill(cr);
            }
    };
    series(
        kRmssdColour, [](const ReportSession& s) { return s.figures.rmssdMs; }, 0.0, rmssdHigh);
    series(
        kArrhythmiaColour, [](const ReportSession& s) { return s.figures.arrhythmiaMean; },
        arrhythmiaLow, arrhythmiaHigh);
}

int pictureHeight(const std::vector<ReportSession>& sessions) {
    return kReportBeatPanelHeight + (sessions.size() > 1 ? kReportTrendPanelHeight : 0);
}

void drawReport(cairo_t* cr, const std::vector<ReportSession>& sessions) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    drawBeatPanel(cr, sessions.back());
    if (sessions.size() > 1) drawTrendPanel(cr, sessions);
}

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// Draws onto the surface; the Cairo error, if any, as text.
bool drawOnto(cairo_surface_t* surface, const std::vector<ReportSession>& sessions,
              std::string& error) {
    Context cr(cairo_create(surface), cairo_destroy);
    drawReport(cr.get(), sessions);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(cairo_status(cr.get()));
        return false;
    }
    return true;
}

} // namespace

Rgb phaseTint(int phase) {
    switch (phase) {
    case 0:
        return {0.76, 0.39, 0.31};
    case 2:
        return {0.31, 0.39, 0.76};
    default:
        return {0.31, 0.76, 0.39}; // the two holds
    }
}

HrvFigures figuresOfRecord(const SessionRecordData& record) {
    return computeHrvFigures(figureBeats(record));
}

BreathFigures breathingOfRecord(const SessionRecordData& record) {
    return computeBreathFigures(figureBeats(record));
}

bool renderReportPng(const std::vector<ReportSession>& sessions, std::string& png,
                     std::string& error) {
    Surface surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, kReportWidth, pictureHeight(sessions)),
        cairo_surface_destroy);
    if (!drawOnto(surface.get(), sessions, error)) return false;
    png.clear();
    const cairo_status_t status =
        cairo_surface_write_to_png_stream(surface.get(), appendToString, &png);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(status);
        return false;
    }
    return true;
}

bool writeReportPicture(const std::vector<ReportSession>& sessions, const std::string& path,
                        std::string& error) {
    const bool svg = path.size() >= 4 && path.compare(path.size() - 4, 4, ".svg") == 0;
    if (svg) {
        Surface surface(
            cairo_svg_surface_create(path.c_str(), kReportWidth, pictureHeight(sessions)),
            cairo_surface_destroy);
        if (!drawOnto(surface.get(), sessions, error)) return false;
        cairo_surface_finish(surface.get());
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
            error = cairo_status_to_string(cairo_surface_status(surface.get()));
            return false;
        }
        return true;
    }
    std::string png;
    if (!renderReportPng(sessions, png, error)) return false;
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

void releaseDrawingCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

// The report picture: heart rate beat by beat over the shaded phases, and the trend panel.
#include "report/report_picture.hpp"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numeric>

#include "report/chart_drawing.hpp"
#include "report/picture_output.hpp"

namespace {

// Plot area of the beat panel, in pixels. The figures stand in a column of their own to its
// right, so they never hide the curve.
constexpr double kLeft = 70, kRight = kReportWidth - 300, kTop = 50, kBottom = 520;
constexpr double kFiguresLeft = kRight + 16, kFiguresWidth = kReportWidth - 20 - kFiguresLeft;
// The ribbon below the plot shows each phase in its full tint.
constexpr double kRibbonTop = 526, kRibbonHeight = 16;
constexpr Rgb kCurve{0.12, 0.12, 0.12};
constexpr Rgb kCycleMean{0.55, 0.0, 0.35};
constexpr Rgb kRmssdColour{0.10, 0.30, 0.70};
constexpr Rgb kArrhythmiaColour{0.80, 0.30, 0.10};

void drawBeatPanel(cairo_t* cr, const ReportSession& session) {
    const std::vector<RecordedBeat>& beats = session.record.beats;
    const std::vector<FigureBeat> asFigures = figureBeatsOfRecord(session.record);
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
        drawText(cr, kLeft - 6, y(hr) + 4, format("%.0f", hr), 12, Align::Right);
    const TimeAxis time = timeAxisFor(endSeconds, 10);
    for (double t = 0; t <= endSeconds + 1e-9; t += time.stepSeconds)
        drawText(cr, x(t), kRibbonTop + kRibbonHeight + 16, time.label(t), 12, Align::Centre);
    drawText(cr, 14, kTop - 14, "heart rate, beats a minute", 13);
    drawText(cr, kRight, kRibbonTop + kRibbonHeight + 34,
             std::string("time since the start (") + time.unit() + ")", 12, Align::Right);

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
    drawText(cr, kReportWidth - 20, kTop - 14,
             session.name + (session.date.empty() ? "" : "   " + session.date), 14, Align::Right);
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
        drawText(cr, legendX + 24, legendY, label, 12);
        legendX += 110;
    };
    swatch(phaseTint(0), "inhale", false);
    swatch(phaseTint(1), "hold", false);
    swatch(phaseTint(2), "exhale", false);
    swatch(kCurve, "heart rate", true);
    swatch(kCycleMean, "cycle mean", true);

    const HrvFigures& f = session.figures;
    const std::int64_t putRight =
        std::accumulate(f.corrected.begin(), f.corrected.end(), std::int64_t{0});
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
        "put right " + std::to_string(putRight) + (putRight == 1 ? " beat" : " beats"),
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
    const double boxWidth = kFiguresWidth, boxHeight = 18.0 * static_cast<double>(lines.size()) + 14;
    const double boxX = kFiguresLeft, boxY = kTop;
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
        drawText(cr, boxX + 10, boxY + 20 + 18.0 * static_cast<double>(i), lines[i], 13);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

void drawTrendPanel(cairo_t* cr, const std::vector<ReportSession>& sessions) {
    const double top = kReportBeatPanelHeight + 40, bottom = top + kReportTrendPanelHeight - 110;
    const double left = kLeft, right = kReportWidth - 70;
    double rmssdHigh = 10, arrhythmiaLow = 0, arrhythmiaHigh = 2;
    for (const ReportSession& s : sessions) {
        if (s.figures.rmssdMs) rmssdHigh = std::max(rmssdHigh, *s.figures.rmssdMs);
        if (s.figures.arrhythmiaMean) {
            arrhythmiaHigh = std::max(arrhythmiaHigh, *s.figures.arrhythmiaMean);
            arrhythmiaLow = std::min(arrhythmiaLow, *s.figures.arrhythmiaMean);
        }
    }
    // A little room above the highest point, so its dot stays inside the frame.
    const ValueScale rmssd = valueScaleFor(0.0, rmssdHigh * 1.05, 5);
    const ValueScale arrhythmia = valueScaleFor(arrhythmiaLow, arrhythmiaHigh * 1.05, 5);
    const std::size_t n = sessions.size();
    const auto x = [&](std::size_t i) {
        return left + (right - left) * (static_cast<double>(i) + 0.5) / static_cast<double>(n);
    };
    const auto yOf = [&](const ValueScale& scale, double v) {
        return bottom - (bottom - top) * (v - scale.low) / (scale.high - scale.low);
    };

    // Grid lines of the left scale, then the frame, and ticks pointing in on three sides.
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.12);
    for (double v = rmssd.low + rmssd.step; v < rmssd.high - rmssd.step / 2; v += rmssd.step) {
        cairo_move_to(cr, left, std::round(yOf(rmssd, v)) + 0.5);
        cairo_line_to(cr, right, std::round(yOf(rmssd, v)) + 0.5);
    }
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_rectangle(cr, left + 0.5, top + 0.5, right - left, bottom - top);
    for (std::size_t i = 0; i < n; ++i) {
        cairo_move_to(cr, std::round(x(i)) + 0.5, bottom);
        cairo_line_to(cr, std::round(x(i)) + 0.5, bottom - 6);
    }
    for (double v = rmssd.low; v <= rmssd.high + rmssd.step / 2; v += rmssd.step) {
        cairo_move_to(cr, left, std::round(yOf(rmssd, v)) + 0.5);
        cairo_line_to(cr, left + 6, std::round(yOf(rmssd, v)) + 0.5);
    }
    for (double v = arrhythmia.low; v <= arrhythmia.high + arrhythmia.step / 2;
         v += arrhythmia.step) {
        cairo_move_to(cr, right, std::round(yOf(arrhythmia, v)) + 0.5);
        cairo_line_to(cr, right - 6, std::round(yOf(arrhythmia, v)) + 0.5);
    }
    cairo_stroke(cr);

    cairo_set_source_rgb(cr, 0, 0, 0);
    drawText(cr, 14, top - 14, "trend over the sessions", 14);
    setColour(cr, kRmssdColour);
    drawText(cr, left, bottom + 52, "RMSSD (ms, left scale)", 12);
    for (double v = rmssd.low; v <= rmssd.high + rmssd.step / 2; v += rmssd.step)
        drawText(cr, left - 6, yOf(rmssd, v) + 4, rmssd.label(v), 12, Align::Right);
    setColour(cr, kArrhythmiaColour);
    drawText(cr, left + 220, bottom + 52, "inhale - exhale HR (/min, right scale)", 12);
    for (double v = arrhythmia.low; v <= arrhythmia.high + arrhythmia.step / 2;
         v += arrhythmia.step)
        drawText(cr, right + 6, yOf(arrhythmia, v) + 4, arrhythmia.label(v), 12);

    // As many labels as fit without touching, each as wide as the widest time or date.
    double widest = 0;
    for (const TrendLabel& label : trendLabels(sessions, 1))
        widest = std::max({widest, textWidth(cr, label.time, 11), textWidth(cr, label.day, 11)});
    const double spacing = (right - left) / static_cast<double>(n);
    const auto labelEvery =
        std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil((widest + 12) / spacing)));
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const TrendLabel& label : trendLabels(sessions, labelEvery)) {
        drawText(cr, x(label.session), bottom + 16, label.time, 11, Align::Centre);
        drawText(cr, x(label.session), bottom + 30, label.day, 11, Align::Centre);
    }

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
        kRmssdColour, [](const ReportSession& s) { return s.figures.rmssdMs; }, rmssd.low,
        rmssd.high);
    series(
        kArrhythmiaColour, [](const ReportSession& s) { return s.figures.arrhythmiaMean; },
        arrhythmia.low, arrhythmia.high);
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

std::vector<FigureBeat> figureBeatsOfRecord(const SessionRecordData& record) {
    std::vector<FigureBeat> beats;
    beats.reserve(record.beats.size());
    for (const RecordedBeat& b : record.beats)
        beats.push_back(
            {static_cast<double>(b.intervalMs), b.phase, b.cycle, false, b.gap, b.ms, b.breath});
    return beats;
}

std::vector<TrendLabel> trendLabels(const std::vector<ReportSession>& sessions,
                                    std::size_t every) {
    std::vector<TrendLabel> labels;
    std::string shownDay;
    for (std::size_t i = 0; i < sessions.size(); i += std::max<std::size_t>(every, 1)) {
        const std::string& date = sessions[i].date; // "2026-12-08 10:15" or empty
        TrendLabel label{i, date.size() > 11 ? date.substr(11) : sessions[i].name, {}};
        if (const std::string day = date.substr(0, 10); day != shownDay)
            label.day = shownDay = day;
        labels.push_back(std::move(label));
    }
    return labels;
}

HrvFigures figuresOfRecord(const SessionRecordData& record) {
    return computeHrvFigures(figureBeatsOfRecord(record));
}

BreathFigures breathingOfRecord(const SessionRecordData& record) {
    return computeBreathFigures(figureBeatsOfRecord(record));
}

bool renderReportPng(const std::vector<ReportSession>& sessions, std::string& png,
                     std::string& error) {
    return renderPng(kReportWidth, pictureHeight(sessions),
                     [&sessions](cairo_t* cr) { drawReport(cr, sessions); }, png, error);
}

bool writeReportPicture(const std::vector<ReportSession>& sessions, const std::string& path,
                        std::string& error) {
    return writePicture(path, kReportWidth, pictureHeight(sessions),
                        [&sessions](cairo_t* cr) { drawReport(cr, sessions); }, error);
}

void releaseDrawingCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

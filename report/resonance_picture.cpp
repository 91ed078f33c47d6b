// The breathing-rate test's picture: a column per stage, in the order they ran, holding the
// stage's heart rate above and its two scores as bars below, so a rate's curve and its scores
// stand one above the other; the winner's column is tinted.
#include "report/resonance_picture.hpp"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "report/chart_drawing.hpp"
#include "report/picture_output.hpp"
#include "report/report_picture.hpp"

namespace {

constexpr double kLeft = 70, kRight = kResonanceWidth - 70;
constexpr double kCurveTop = 110, kCurveBottom = 390;
constexpr double kBarsTop = 470, kBarsBottom = 690;
constexpr Rgb kCurve{0.12, 0.12, 0.12};
constexpr Rgb kSwingColour{0.55, 0.0, 0.35};
constexpr Rgb kPowerColour{0.10, 0.45, 0.55};
constexpr Rgb kWinnerTint{0.98, 0.86, 0.45};
constexpr Rgb kWinnerText{0.55, 0.38, 0.0};

std::string rateText(double breathsPerMinute) {
    return breathingRateText(breathsPerMinute) + " /min";
}

// The font size, up to `size`, at which the text fits the width (many stages, narrow columns).
double fittingSize(cairo_t* cr, const std::string& text, double size, double width) {
    const double wide = textWidth(cr, text, size);
    return wide <= width ? size : std::max(6.0, size * width / wide);
}

// The usable beats of a record as (seconds since the start, heart rate) points; a beat left
// out of the figures breaks the line, marked by a point with no rate.
struct CurvePoint {
    double seconds;
    std::optional<double> heartRate;
};
std::vector<CurvePoint> curveOf(const SessionRecordData& record) {
    const std::vector<FigureBeat> beats = figureBeatsOfRecord(record);
    std::vector<CurvePoint> points;
    for (std::size_t i = 0; i < beats.size(); ++i) {
        const double seconds = static_cast<double>(beats[i].ms) / 1000.0;
        if (beatIsUsable(beats[i], i == 0))
            points.push_back({seconds, 60000.0 / beats[i].intervalMs});
        else
            points.push_back({seconds, std::nullopt});
    }
    return points;
}

void drawResonance(cairo_t* cr, const ResonanceReport& report) {
    const ResonanceResult& result = report.result;
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, 0, 0, 0);
    // "2026-12-09 07:10" of an ISO time; any other text as it is (cut, it might split a
    // character in two, and Cairo refuses text that is not UTF-8).
    std::string when = result.startTime;
    if (when.size() >= 16 && when[10] == 'T' &&
        std::all_of(when.begin(), when.begin() + 16, [](char c) { return c > 0 && c < 127; }))
        when = when.substr(0, 10) + " " + when.substr(11, 5);
    drawText(cr, 14, 28, "breathing-rate test   " + when, 16);
    drawText(cr, kResonanceWidth - 20, 28, report.name, 13, Align::Right);
    const std::string winner = result.winnerBreathsPerMinute
                                   ? "best rate: " + rateText(*result.winnerBreathsPerMinute)
                                   : std::string("no rate could be ranked");
    setColour(cr, kWinnerText);
    drawText(cr, 14, 52, winner, 14);

    const std::size_t n = result.stages.size();
    if (n == 0) {
        cairo_set_source_rgb(cr, 0.4, 0.4, 0.4);
        drawText(cr, kResonanceWidth / 2.0, kCurveTop + 100, "the test holds no stage", 16,
                 Align::Centre);
        return;
    }
    // Gaps of 12 pixels, narrower when many stages share the width.
    const double count = static_cast<double>(n);
    const double gap = std::min(12.0, (kRight - kLeft) * 0.2 / count);
    const double columnWidth = (kRight - kLeft - gap * (count - 1)) / count;
    const auto columnLeft = [&](std::size_t i) {
        return kLeft + static_cast<double>(i) * (columnWidth + gap);
    };

    // One heart-rate scale for all stages, so their swings compare by eye.
    std::vector<std::vector<CurvePoint>> curves(n);
    double low = 1e9, high = -1e9;
    for (std::size_t i = 0; i < n && i < report.stageRecords.size(); ++i) {
        if (!report.stageRecords[i]) continue;
        curves[i] = curveOf(*report.stageRecords[i]);
        for (const CurvePoint& p : curves[i])
            if (p.heartRate) low = std::min(low, *p.heartRate), high = std::max(high, *p.heartRate);
    }
    if (low > high) low = 50, high = 80;
    const ValueScale rates = valueScaleFor(low - 2, high + 2, 5);
    const auto yRate = [&](double hr) {
        return kCurveBottom -
               (kCurveBottom - kCurveTop) * (hr - rates.low) / (rates.high - rates.low);
    };

    // The scores' scales: the swing on the left, the power on the right.
    double swingHigh = 1, powerHigh = 10;
    for (const ResonanceStageResult& s : result.stages) {
        if (s.peakToTroughBpm) swingHigh = std::max(swingHigh, *s.peakToTroughBpm);
        if (s.lowFrequencyMs2) powerHigh = std::max(powerHigh, *s.lowFrequencyMs2);
    }
    const ValueScale swing = valueScaleFor(0, swingHigh * 1.1, 5);
    const ValueScale power = valueScaleFor(0, powerHigh * 1.1, 5);
    const auto yBar = [&](const ValueScale& scale, double v) {
        return kBarsBottom - (kBarsBottom - kBarsTop) * (v - scale.low) / (scale.high - scale.low);
    };

    // The winner's column, tinted through both panels.
    for (std::size_t i = 0; i < n; ++i)
        if (isWinningStage(result, result.stages[i])) {
            setColour(cr, kWinnerTint, 0.45);
            cairo_rectangle(cr, columnLeft(i) - 4, kCurveTop - 28, columnWidth + 8,
                            kBarsBottom + 52 - (kCurveTop - 28));
            cairo_fill(cr);
        }

    // Scales: heart rate on the left of the curves, the scores either side of the bars.
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.12);
    for (double v = rates.low; v <= rates.high + rates.step / 2; v += rates.step) {
        cairo_move_to(cr, kLeft, std::round(yRate(v)) + 0.5);
        cairo_line_to(cr, kRight, std::round(yRate(v)) + 0.5);
    }
    for (double v = swing.low + swing.step; v <= swing.high + swing.step / 2; v += swing.step) {
        cairo_move_to(cr, kLeft, std::round(yBar(swing, v)) + 0.5);
        cairo_line_to(cr, kRight, std::round(yBar(swing, v)) + 0.5);
    }
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (double v = rates.low; v <= rates.high + rates.step / 2; v += rates.step)
        drawText(cr, kLeft - 6, yRate(v) + 4, rates.label(v), 12, Align::Right);
    drawText(cr, 14, kCurveTop - 32, "heart rate through each stage, beats a minute", 13);
    drawText(cr, 14, kBarsTop - 22, "scores of each breathing rate", 13);
    setColour(cr, kSwingColour);
    for (double v = swing.low; v <= swing.high + swing.step / 2; v += swing.step)
        drawText(cr, kLeft - 6, yBar(swing, v) + 4, swing.label(v), 12, Align::Right);
    setColour(cr, kPowerColour);
    for (double v = power.low; v <= power.high + power.step / 2; v += power.step)
        drawText(cr, kRight + 6, yBar(power, v) + 4, power.label(v), 12);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_move_to(cr, kLeft, kBarsBottom + 0.5);
    cairo_line_to(cr, kRight, kBarsBottom + 0.5);
    cairo_stroke(cr);

    for (std::size_t i = 0; i < n; ++i) {
        const ResonanceStageResult& stage = result.stages[i];
        const double left = columnLeft(i), centre = left + columnWidth / 2;
        const bool best = isWinningStage(result, stage);
        // Centred in the column, smaller where it would not fit.
        const auto label = [&](double y, const std::string& text, double size, double width) {
            drawText(cr, centre, y, text, fittingSize(cr, text, size, width), Align::Centre);
        };

        // Above: the rate, and the stage's heart rate over its own length.
        best ? setColour(cr, kWinnerText) : cairo_set_source_rgb(cr, 0, 0, 0);
        label(kCurveTop - 10, rateText(stage.breathsPerMinute), 14, columnWidth);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        cairo_rectangle(cr, std::round(left) + 0.5, kCurveTop + 0.5, std::round(columnWidth),
                        kCurveBottom - kCurveTop);
        cairo_stroke(cr);
        const std::vector<CurvePoint>& curve = curves[i];
        double endSeconds = 0;
        for (const CurvePoint& p : curve)
            endSeconds = std::max(endSeconds, p.seconds);
        if (curve.empty() || endSeconds <= 0) {
            cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
            label((kCurveTop + kCurveBottom) / 2, "no record", 13, columnWidth - 4);
        } else {
            cairo_save(cr);
            cairo_rectangle(cr, left, kCurveTop, columnWidth, kCurveBottom - kCurveTop);
            cairo_clip(cr);
            setColour(cr, kCurve);
            cairo_set_line_width(cr, 1.3);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            bool drawing = false;
            for (const CurvePoint& p : curve) {
                if (!p.heartRate) {
                    drawing = false;
                    continue;
                }
                const double px = left + 2 + (columnWidth - 4) * p.seconds / endSeconds;
                drawing ? cairo_line_to(cr, px, yRate(*p.heartRate))
                        : cairo_move_to(cr, px, yRate(*p.heartRate));
                drawing = true;
            }
            cairo_stroke(cr);
            cairo_restore(cr);
        }
        cairo_set_source_rgb(cr, 0, 0, 0);
        const std::string formula =
            std::to_string(stage.formula[0]) + "-" + std::to_string(stage.formula[1]) + "-" +
            std::to_string(stage.formula[2]) + "-" + std::to_string(stage.formula[3]);
        label(kCurveBottom + 18,
              formula +
                  (endSeconds > 0 ? "   " + TimeAxis{1, false}.label(endSeconds) : std::string()),
              12, columnWidth);

        // Below: the two scores as bars side by side, each with its value over it.
        const double barWidth = std::min(36.0, columnWidth / 4);
        const auto bar = [&](double x, Rgb colour, const std::optional<double>& value,
                             const ValueScale& scale, const char* pattern) {
            setColour(cr, colour);
            if (!value) {
                drawText(cr, x + barWidth / 2, kBarsBottom - 6, "-", 12, Align::Centre);
                return;
            }
            const double top = yBar(scale, *value);
            cairo_rectangle(cr, x, top, barWidth, kBarsBottom - top);
            cairo_fill(cr);
            const std::string text = format(pattern, *value);
            drawText(cr, x + barWidth / 2, top - 5, text, fittingSize(cr, text, 11, barWidth + 6),
                     Align::Centre);
        };
        bar(centre - barWidth - 3, kSwingColour, stage.peakToTroughBpm, swing, "%.1f");
        bar(centre + 3, kPowerColour, stage.lowFrequencyMs2, power, "%.0f");

        best ? setColour(cr, kWinnerText) : cairo_set_source_rgb(cr, 0, 0, 0);
        label(kBarsBottom + 20,
              stage.rank > 0 ? "rank " + std::to_string(stage.rank) + (best ? ", best" : "")
                             : std::string("unranked"),
              13, columnWidth);
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        if (stage.breathHeartPhaseDeg)
            label(kBarsBottom + 38, "lag " + format("%.0f", *stage.breathHeartPhaseDeg) + "°", 11,
                  columnWidth);
    }

    // The legend of the bars.
    const double legendY = kResonanceHeight - 24;
    setColour(cr, kSwingColour);
    cairo_rectangle(cr, kLeft, legendY - 10, 18, 12);
    cairo_fill(cr);
    drawText(cr, kLeft + 24, legendY, "heart-rate swing per breath (beats a minute, left scale)",
             12);
    setColour(cr, kPowerColour);
    cairo_rectangle(cr, kLeft + 440, legendY - 10, 18, 12);
    cairo_fill(cr);
    drawText(cr, kLeft + 464, legendY, "low-frequency power (ms², right scale)", 12);
}

} // namespace

bool writeResonancePicture(const ResonanceReport& report, const std::string& path,
                           std::string& error) {
    return writePicture(
        path, kResonanceWidth, kResonanceHeight,
        [&report](cairo_t* cr) { drawResonance(cr, report); }, error);
}

bool renderResonancePng(const ResonanceReport& report, std::string& png, std::string& error) {
    return renderPng(
        kResonanceWidth, kResonanceHeight, [&report](cairo_t* cr) { drawResonance(cr, report); },
        png, error);
}

// Builds the self-contained HTML page of a report; the PNG travels as a data URI.
#include "report/html_page.hpp"

#include <cstdio>

namespace {

std::string cell(const std::optional<double>& value, const char* pattern) {
    if (!value) return "<td>-</td>";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, *value);
    return std::string("<td>") + buffer + "</td>";
}

// "2 missed, 1 ectopic", or "none": the beats put right before the figures, by kind.
std::string correctedBeats(const HrvFigures& f) {
    std::string text;
    for (std::size_t k = 1; k < kBeatClassCount; ++k) {
        if (f.corrected[k] == 0) continue;
        if (!text.empty()) text += ", ";
        text += std::to_string(f.corrected[k]) + " " + beatClassName(static_cast<BeatClass>(k));
    }
    return text.empty() ? "none" : text;
}

} // namespace

std::string base64(const std::string& bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        std::uint32_t chunk = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]))
                              << 16;
        if (left > 1)
            chunk |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (left > 2) chunk |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(chunk >> 18) & 63];
        out += kDigits[(chunk >> 12) & 63];
        out += left > 1 ? kDigits[(chunk >> 6) & 63] : '=';
        out += left > 2 ? kDigits[chunk & 63] : '=';
    }
    return out;
}

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string reportHtml(const std::vector<ReportSession>& sessions, const std::string& png) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        "<title>halvent sessions</title>\n<style>body{font-family:sans-serif;margin:2em}"
        "table{border-collapse:collapse}td,th{border:1px solid #bbb;padding:.3em .6em;"
        "text-align:right}th:first-child,td:first-child{text-align:left}"
        "img{max-width:100%}</style></head><body>\n<h1>halvent sessions</h1>\n"
        "<p><img alt=\"heart rate beat by beat over the breathing phases\" "
        "src=\"data:image/png;base64,";
    html += base64(png);
    html += "\"></p>\n<table>\n<tr><th>record</th><th>beats (left out)</th><th>put right</th>"
            "<th>mean HR /min</th>"
            "<th>min - max HR /min</th><th>SDNN ms</th><th>RMSSD ms</th><th>pNN50 %</th>"
            "<th>HR inhale /min</th><th>HR exhale /min</th><th>inhale - exhale /min</th>"
            "<th>sd</th><th>breaths /min</th><th>inhale breathed in %</th>"
            "<th>exhale breathed out %</th></tr>\n";
    for (const ReportSession& s : sessions) {
        const HrvFigures& f = s.figures;
        html += "<tr><td>" + escapeHtml(s.name) + "</td><td>" + std::to_string(f.beats) + " (" +
                std::to_string(f.leftOut) + ")</td><td>" + correctedBeats(f) + "</td>" +
                cell(f.meanHr, "%.1f");
        if (f.minHr) {
            char range[64];
            std::snprintf(range, sizeof range, "<td>%.1f - %.1f</td>", *f.minHr, *f.maxHr);
            html += range;
        } else {
            html += "<td>-</td>";
        }
        html += cell(f.sdnnMs, "%.1f") + cell(f.rmssdMs, "%.1f") + cell(f.pnn50, "%.1f") +
                cell(f.phaseMeanHr[0], "%.1f") + cell(f.phaseMeanHr[2], "%.1f") +
                cell(f.arrhythmiaMean, "%.2f") + cell(f.arrhythmiaSd, "%.2f");
        const BreathFigures& b = s.breathing;
        if (b.beatsWithBreath == 0)
            html += "<td colspan=\"3\">no breath sensor</td>";
        else
            html += cell(b.meanRatePerMin, "%.1f") + cell(b.inhaleBreathedInPercent, "%.0f") +
                    cell(b.exhaleBreathedOutPercent, "%.0f");
        html += "</tr>\n";
    }
    html += "</table>\n<p>Missed, extra and ectopic beats, and intervals far off their "
            "neighbours, are put right before the figures. Beats with intervals outside "
            "300..2000 ms, and the first beat of each session, are kept in the record but left "
            "out of the figures.</p>\n</body></html>\n";
    return html;
}

std::string resonanceHtml(const ResonanceReport& report, const std::string& png) {
    const ResonanceResult& result = report.result;
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        "<title>halvent breathing-rate test</title>\n<style>body{font-family:sans-serif;"
        "margin:2em}table{border-collapse:collapse}td,th{border:1px solid #bbb;"
        "padding:.3em .6em;text-align:right}th:last-child,td:last-child{text-align:left}"
        ".best{font-weight:bold;background:#fbe9b0}img{max-width:100%}</style></head><body>\n"
        "<h1>Breathing-rate test " + escapeHtml(result.startTime) + "</h1>\n<p>";
    if (result.winnerBreathsPerMinute) {
        html += "Best rate: " + breathingRateText(*result.winnerBreathsPerMinute) +
                " breaths a minute.";
    } else {
        html += "No rate could be ranked.";
    }
    html += "</p>\n<p><img alt=\"heart rate of each stage and the scores per breathing rate\" "
            "src=\"data:image/png;base64,";
    html += base64(png);
    html += "\"></p>\n<table>\n<tr><th>breaths /min</th><th>formula</th>"
            "<th>HR before /min</th><th>cycles</th><th>peak - trough /min</th>"
            "<th>LF power ms&sup2;</th><th>lag deg</th><th>rank</th><th>record</th></tr>\n";
    for (const ResonanceStageResult& s : result.stages) {
        const bool best = isWinningStage(result, s);
        char head[160];
        std::snprintf(head, sizeof head,
                      "<tr%s><td>%s</td><td>%d-%d-%d-%d</td><td>%.1f</td><td>%d</td>",
                      best ? " class=\"best\"" : "", breathingRateText(s.breathsPerMinute).c_str(),
                      s.formula[0],
                      s.formula[1], s.formula[2], s.formula[3], s.heartRateBefore, s.cycles);
        html += head;
        html += cell(s.peakToTroughBpm, "%.1f") + cell(s.lowFrequencyMs2, "%.0f") +
                cell(s.breathHeartPhaseDeg, "%.0f") + "<td>" +
                (s.rank > 0 ? std::to_string(s.rank) : std::string("-")) + "</td><td>" +
                escapeHtml(s.record) + "</td></tr>\n";
    }
    html += "</table>\n</body></html>\n";
    return html;
}

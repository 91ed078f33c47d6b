// Draws the report's picture of one or more session records with Cairo.
#pragma once

#include <string>
#include <vector>

#include "record/record_reader.hpp"
#include "record/breath_figures.hpp"
#include "record/hrv_figures.hpp"
#include "report/chart_drawing.hpp"

struct ReportSession {
    std::string name; // file name, shown in the title
    std::string date; // "2026-12-08 10:15", or empty
    SessionRecordData record;
    HrvFigures figures;
    BreathFigures breathing;
};

// A record's beats as the figures see them (no beat doubtful: the record keeps no such mark).
std::vector<FigureBeat> figureBeatsOfRecord(const SessionRecordData& record);
// The figures of a record, computed as the program computes its summary.
HrvFigures figuresOfRecord(const SessionRecordData& record);
BreathFigures breathingOfRecord(const SessionRecordData& record);

// The trend panel's labels under every `every`-th session: its time (its file name when the
// name holds no date), and below it the date, only where the date differs from the last one
// shown, so a day's sessions read as one group.
struct TrendLabel {
    std::size_t session;
    std::string time, day; // day empty where it is the one shown before
};
std::vector<TrendLabel> trendLabels(const std::vector<ReportSession>& sessions, std::size_t every);

// Picture sizes in pixels (PNG) or points (SVG): one panel, or two with a trend below.
inline constexpr int kReportWidth = 1200;
inline constexpr int kReportBeatPanelHeight = 600;
inline constexpr int kReportTrendPanelHeight = 320;

// The training screen's phase tints, by phase (0 inhale, 1 hold-in, 2 exhale, 3 hold-out).
Rgb phaseTint(int phase);

// The last session is drawn beat by beat; with several, a trend panel of all follows.
// Writes a PNG, or an SVG when the path ends in ".svg"; false with a message on failure.
bool writeReportPicture(const std::vector<ReportSession>& sessions, const std::string& path,
                        std::string& error);
// The picture as PNG bytes in memory, for the HTML page.
bool renderReportPng(const std::vector<ReportSession>& sessions, std::string& png,
                     std::string& error);
// Frees the font and surface caches Cairo and fontconfig keep for the process, so a leak
// checker sees only what the report itself holds. Call once, after the last drawing.
void releaseDrawingCaches();

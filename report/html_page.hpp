// The report as one self-contained HTML page: the picture inline and the figures as a table.
#pragma once

#include <string>
#include <vector>

#include "report/report_picture.hpp"
#include "report/resonance_picture.hpp"

std::string base64(const std::string& bytes);
// Text made safe to stand in HTML (record names come from outside).
std::string escapeHtml(const std::string& text);
std::string reportHtml(const std::vector<ReportSession>& sessions, const std::string& png);
// The page of a breathing-rate test: its picture and a table of the stages.
std::string resonanceHtml(const ResonanceReport& report, const std::string& png);

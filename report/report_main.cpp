// halvent-report: draws session records as a picture (PNG or SVG) or a self-contained page.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "report/html_page.hpp"
#include "record/record_reader.hpp"
#include "report/report_picture.hpp"

namespace {

const char* kUsage =
    "Usage: halvent-report RECORD.csv... [-o FILE.png|FILE.svg|FILE.html] [--html]\n"
    "\n"
    "Draws a session record of halvent: the heart rate beat by beat over the breathing\n"
    "phases, the mean of each cycle, and the session's figures, with the breathing rate and\n"
    "how closely it followed the pacer where a breath sensor was ready. With several records\n"
    "the last one is drawn beat by beat and a second panel shows the trend of RMSSD and of\n"
    "the inhale - exhale heart-rate difference over the sessions.\n"
    "\n"
    "  -o FILE   where to write, as the name's ending says: .png, .svg or .html (default:\n"
    "            beside the last record, .png, or .html with --html)\n"
    "  --html    one self-contained HTML page with the picture and a table of the figures\n"
    "  --help    show this text\n"
    "\n"
    "A record that cannot be read is left out with a line saying why, as long as another\n"
    "can be drawn. Records named by their start time are drawn in the order they began.\n";

bool endsWith(const std::string& s, const char* suffix) {
    const std::string tail = suffix;
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> inputs;
    std::string output;
    bool html = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--html")
            html = true;
        else if (arg == "-o" || arg == "--output") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "halvent-report: %s needs a file name\n%s", arg.c_str(),
                             kUsage);
                return 2;
            }
            output = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "halvent-report: unknown option '%s'\n%s", arg.c_str(), kUsage);
            return 2;
        } else
            inputs.push_back(arg);
    }
    if (inputs.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // The file's name says what to write; --html only chooses the default name's ending.
    if (!output.empty()) {
        if (endsWith(output, ".html") || endsWith(output, ".htm")) {
            html = true;
        } else if (html || (!endsWith(output, ".png") && !endsWith(output, ".svg"))) {
            std::fprintf(stderr,
                         "halvent-report: %s: name the file .png or .svg for a picture, or "
                         ".html for a page\n",
                         output.c_str());
            return 2;
        }
    }

    std::vector<ReportSession> sessions;
    for (const std::string& path : inputs) {
        RecordReadResult read = readSessionRecord(path);
        if (!read.record) {
            // An empty record (a session ended in its first cycle, a full disk) leaves the
            // others to draw.
            std::fprintf(stderr, "halvent-report: %s%s\n", read.error.c_str(),
                         inputs.size() > 1 ? "; left out" : "");
            continue;
        }
        if (read.record->skippedLines > 0)
            std::fprintf(stderr,
                         "halvent-report: %s: skipped %lld malformed line(s), the first "
                         "at line %lld\n",
                         path.c_str(), static_cast<long long>(read.record->skippedLines),
                         static_cast<long long>(read.record->firstSkippedLine));
        ReportSession session;
        session.name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
        session.date = recordDateFromName(path);
        session.figures = figuresOfRecord(*read.record);
        session.breathing = breathingOfRecord(*read.record);
        session.record = std::move(*read.record);
        sessions.push_back(std::move(session));
    }
    if (sessions.empty()) return 1;
    // Records named by their start times are drawn in the order they began (a second record
    // of the same second, "-2", after the first); others as given.
    if (std::all_of(sessions.begin(), sessions.end(),
                    [](const ReportSession& s) { return !s.date.empty(); }))
        std::stable_sort(sessions.begin(), sessions.end(),
                         [](const ReportSession& a, const ReportSession& b) {
                             return recordStartOrder(a.name) < recordStartOrder(b.name);
                         });

    if (output.empty()) {
        const std::string& last = inputs.back();
        output = (endsWith(last, ".csv") ? last.substr(0, last.size() - 4) : last) +
                 (html ? ".html" : ".png");
    }
    std::string error;
    if (html) {
        std::string png;
        if (renderReportPng(sessions, png, error)) {
            std::ofstream page(output, std::ios::binary);
            page << reportHtml(sessions, png);
            page.close();
            if (!page) error = "cannot be written";
        }
    } else {
        writeReportPicture(sessions, output, error);
    }
    releaseDrawingCaches();
    if (!error.empty()) {
        std::fprintf(stderr, "halvent-report: %s: %s\n", output.c_str(), error.c_str());
        return 1;
    }
    std::printf("%s\n", output.c_str());
    return 0;
}

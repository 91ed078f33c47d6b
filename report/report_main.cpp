// halvent-report: draws session records as a picture (PNG or SVG) or a self-contained page.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "report/html_page.hpp"
#include "record/record_reader.hpp"
#include "report/report_picture.hpp"
#include "report/resonance_picture.hpp"
#include "report/resonance_report.hpp"

namespace {

const char* kUsage =
    "Usage: halvent-report RECORD.csv... [-o FILE.png|FILE.svg|FILE.html] [--html]\n"
    "       halvent-report RESULT-resonance.json [-o FILE.png|FILE.svg|FILE.html] [--html]\n"
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
    "Given a breathing-rate test's result (alone or among records), it draws that test\n"
    "instead: the heart rate through each stage, read from the stage records beside the\n"
    "result, the scores of each breathing rate as bars, and the best rate.\n"
    "\n"
    "A record that cannot be read is left out with a line saying why, as long as another\n"
    "can be drawn. Records named by their start time are drawn in the order they began.\n";

bool endsWith(const std::string& s, const char* suffix) {
    const std::string tail = suffix;
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The output's name beside an input: its ending replaced by the picture's or the page's.
std::string besideInput(const std::string& input, bool html) {
    std::string stem = input;
    for (const char* ending : {".csv", ".json"})
        if (endsWith(stem, ending)) stem.erase(stem.size() - std::string(ending).size());
    return stem + (html ? ".html" : ".png");
}

// Writes the page or the picture; false with a message in `error`.
template <typename RenderPng, typename Page, typename Picture>
bool writeOutput(const std::string& output, bool html, RenderPng renderPng, Page page,
                 Picture picture, std::string& error) {
    if (!html) return picture(output, error);
    std::string png;
    if (!renderPng(png, error)) return false;
    std::ofstream file(output, std::ios::binary);
    file << page(png);
    file.close();
    if (!file) error = "cannot be written";
    return error.empty();
}

int finish(const std::string& output, const std::string& error) {
    releaseDrawingCaches();
    if (!error.empty()) {
        std::fprintf(stderr, "halvent-report: %s: %s\n", output.c_str(), error.c_str());
        return 1;
    }
    std::printf("%s\n", output.c_str());
    return 0;
}

// The latest breathing-rate test among the inputs, if any, with its stages' records; the
// .json files that are not results are left in `inputs` for the record reader.
std::optional<ResonanceReport> findResonanceReport(std::vector<std::string>& inputs,
                                                   bool severalInputs) {
    std::string latest;
    std::vector<std::string> others;
    for (const std::string& path : inputs) {
        std::string error;
        if (!endsWith(path, ".json")) {
            others.push_back(path);
        } else if (readResonanceResult(path, error)) {
            if (latest.empty() || recordStartOrder(latest) <= recordStartOrder(path))
                latest = path;
        } else if (namesResonanceResult(path)) {
            // A damaged result says why; any other JSON (a session summary) goes on as before.
            std::fprintf(stderr, "halvent-report: %s%s\n", error.c_str(),
                         severalInputs ? "; left out" : "");
        } else {
            others.push_back(path);
        }
    }
    inputs = std::move(others);
    if (latest.empty()) return std::nullopt;
    std::string error;
    std::vector<std::string> notes;
    std::optional<ResonanceReport> report = loadResonanceReport(latest, error, notes);
    for (const std::string& note : notes)
        std::fprintf(stderr, "halvent-report: %s\n", note.c_str());
    if (!report) std::fprintf(stderr, "halvent-report: %s\n", error.c_str()); // changed since
    return report;
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

    const bool severalInputs = inputs.size() > 1;
    if (std::optional<ResonanceReport> test = findResonanceReport(inputs, severalInputs)) {
        if (output.empty()) output = besideInput(test->path, html);
        std::string error;
        writeOutput(
            output, html,
            [&test](std::string& png, std::string& e) { return renderResonancePng(*test, png, e); },
            [&test](const std::string& png) { return resonanceHtml(*test, png); },
            [&test](const std::string& path, std::string& e) {
                return writeResonancePicture(*test, path, e);
            },
            error);
        return finish(output, error);
    }

    std::vector<ReportSession> sessions;
    for (const std::string& path : inputs) {
        RecordReadResult read = readSessionRecord(path);
        if (!read.record) {
            // An empty record (a session ended in its first cycle, a full disk) leaves the
            // others to draw.
            std::fprintf(stderr, "halvent-report: %s%s\n", read.error.c_str(),
                         severalInputs ? "; left out" : "");
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

    if (output.empty()) output = besideInput(inputs.back(), html);
    std::string error;
    writeOutput(
        output, html,
        [&sessions](std::string& png, std::string& e) { return renderReportPng(sessions, png, e); },
        [&sessions](const std::string& png) { return reportHtml(sessions, png); },
        [&sessions](const std::string& path, std::string& e) {
            return writeReportPicture(sessions, path, e);
        },
        error);
    return finish(output, error);
}

// Reading a recorded heart rhythm: plain lists, CSV with an interval column, .hrm files.
#include "sources/recording_reader.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <utility>

namespace brix {
namespace {

// A median below this is a list in seconds: no heartbeat lasts 10 ms.
constexpr double kSecondsBelow = 10.0;
constexpr std::size_t kLongestShownField = 40;
constexpr std::string_view kHrmBeatIntervals = "238"; // Interval=238: [HRData] holds RR in ms

struct Line {
    std::string_view text; // without its line end
    std::size_t number;    // counted from 1
};

struct Value {
    double number;
    std::size_t line;
    signed char breath = -1; // 1 in, 0 out, -1 none
};

std::string_view trim(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

std::vector<Line> splitLines(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3); // a UTF-8 byte-order mark
    std::vector<Line> lines;
    std::size_t number = 1;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back({text.substr(0, end), number++});
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The field as it may be quoted in a message: printable ASCII, shortened.
std::string shown(std::string_view field) {
    std::string out;
    for (char c : field.substr(0, kLongestShownField))
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (field.size() > kLongestShownField) out += "...";
    return out;
}

bool parseNumber(std::string_view field, double& value) {
    field = trim(field);
    if (!field.empty() && field.front() == '+') field.remove_prefix(1);
    if (field.empty()) return false;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value);
    return result.ec == std::errc{} && result.ptr == field.data() + field.size() &&
           std::isfinite(value);
}

std::string atLine(std::size_t line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

std::string notAnInterval(std::size_t line, std::string_view field) {
    return atLine(line,
                  "'" + shown(trim(field)) + "' is not an interval in milliseconds or seconds");
}

// Converts to milliseconds (seconds when `seconds`, or by the median when not known) and
// checks every value against the range of a heartbeat; a glitch takes its breath along.
Recording finish(const std::vector<Value>& values, int knownUnit /* 1 ms, 1000 s, 0 unknown */,
                 bool withBreath = false) {
    Recording out;
    if (values.empty()) {
        out.error = "the file holds no intervals";
        return out;
    }
    double scale = knownUnit;
    if (knownUnit == 0) {
        std::vector<double> sorted;
        sorted.reserve(values.size());
        for (const Value& v : values)
            sorted.push_back(v.number);
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                         sorted.end());
        scale = sorted[sorted.size() / 2] < kSecondsBelow ? 1000.0 : 1.0;
    }
    out.intervalsMs.reserve(values.size());
    const Value* firstGlitch = nullptr;
    for (const Value& v : values) {
        const double ms = v.number * scale;
        if (ms >= kShortestIntervalMs && ms <= kLongestIntervalMs) {
            out.intervalsMs.push_back(ms);
            if (withBreath) out.breath.push_back(v.breath);
        } else {
            ++out.skipped;
            if (firstGlitch == nullptr) firstGlitch = &v;
        }
    }
    // A breath column without a value (a record made without a breath sensor) is none.
    if (std::none_of(out.breath.begin(), out.breath.end(), [](signed char b) { return b >= 0; }))
        out.breath.clear();
    if (out.intervalsMs.empty()) {
        char number[32];
        const double ms = firstGlitch->number * scale;
        const auto written = std::to_chars(number, number + sizeof number, ms);
        out.error = atLine(firstGlitch->line,
                           std::string(number, written.ptr) +
                               " ms is not a heartbeat interval (200 to 3000 ms), nor is any "
                               "other line");
    }
    return out;
}

Recording failed(std::string error) {
    Recording out;
    out.error = std::move(error);
    return out;
}

bool isComment(std::string_view s) {
    return s.empty() || s.front() == '#';
}

Recording readPlain(const std::vector<Line>& lines) {
    std::vector<Value> values;
    for (const Line& line : lines) {
        std::string_view s = line.text;
        s = trim(s.substr(0, s.find('#')));
        if (s.empty()) continue;
        double number = 0;
        if (!parseNumber(s, number)) return failed(notAnInterval(line.number, s));
        values.push_back({number, line.number});
    }
    return finish(values, 0);
}

std::vector<std::string_view> splitFields(std::string_view s, char separator) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t end = s.find(separator);
        fields.push_back(trim(s.substr(0, end)));
        if (end == std::string_view::npos) return fields;
        s.remove_prefix(end + 1);
    }
}

// "RR-interval (ms)" -> "rrintervalms": letters and digits only, lower case, quotes dropped.
std::string columnKey(std::string_view name) {
    std::string key;
    for (char c : name) {
        if (c >= 'A' && c <= 'Z')
            key += static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            key += c;
    }
    return key;
}

// The unit an interval column's name gives: 1 for ms, 1000 for s, 0 unknown; -1 no such column.
int intervalColumnUnit(std::string_view name) {
    const std::string key = columnKey(name);
    for (const char* base : {"rr", "ibi", "rrinterval", "rrintervals", "interbeatinterval", "nn"}) {
        if (key == base) return 0;
        if (key == std::string(base) + "ms") return 1;
        if (key == std::string(base) + "s" && key != "rrintervals") return 1000;
    }
    return -1;
}

// The interval column of the program's own session record, taken when no other is named.
constexpr std::string_view kRecordIntervalKey = "intervalms";
constexpr std::string_view kBreathKey = "breath";

// A breath field: "1" in, "0" out, empty (or missing) for no value; false for anything else.
bool parseBreath(std::string_view field, signed char& breath) {
    field = trim(field);
    breath = field == "1" ? 1 : field == "0" ? 0 : -1;
    return breath >= 0 || field.empty();
}

Recording readCsv(const std::vector<Line>& lines, std::size_t header) {
    const std::string_view head = lines[header].text;
    char separator = ',';
    std::size_t most = 0;
    for (char candidate : {',', ';', '\t'}) {
        const auto n = static_cast<std::size_t>(std::count(head.begin(), head.end(), candidate));
        if (n > most) {
            most = n;
            separator = candidate;
        }
    }
    const auto names = splitFields(head, separator);
    std::size_t column = names.size();
    int unit = 0;
    for (std::size_t i = 0; i < names.size() && column == names.size(); ++i) {
        const int u = intervalColumnUnit(names[i]);
        if (u >= 0) {
            column = i;
            unit = u;
        }
    }
    for (std::size_t i = 0; i < names.size() && column == names.size(); ++i)
        if (columnKey(names[i]) == kRecordIntervalKey) {
            column = i;
            unit = 1;
        }
    std::size_t breathColumn = names.size();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (columnKey(names[i]) == kBreathKey) breathColumn = i;
    const bool withBreath = breathColumn != names.size();
    if (column == names.size())
        return failed(atLine(lines[header].number,
                             "no interval column in the header (name one rr, ibi, "
                             "rr_ms or RR-interval)"));
    std::vector<Value> values;
    for (std::size_t i = header + 1; i < lines.size(); ++i) {
        const std::string_view s = trim(lines[i].text);
        if (isComment(s)) continue;
        const auto fields = splitFields(s, separator);
        double number = 0;
        if (column >= fields.size() || !parseNumber(fields[column], number))
            return failed(
                notAnInterval(lines[i].number, column < fields.size() ? fields[column] : s));
        signed char breath = -1;
        if (withBreath && breathColumn < fields.size() &&
            !parseBreath(fields[breathColumn], breath))
            return failed(atLine(lines[i].number, "'" + shown(fields[breathColumn]) +
                                                      "' is not a breath value (1, 0 or empty)"));
        values.push_back({number, lines[i].number, breath});
    }
    return finish(values, unit, withBreath);
}

// A heart-rate-monitor file: [Params] with Interval=238, then [HRData] with one RR a line.
Recording readHrm(const std::vector<Line>& lines) {
    std::string_view section;
    std::string_view interval;
    bool sawData = false;
    std::vector<Value> values;
    for (const Line& line : lines) {
        const std::string_view s = trim(line.text);
        if (s.empty()) continue;
        if (s.front() == '[') {
            section = s;
            if (section == "[HRData]") {
                sawData = true;
                if (interval != kHrmBeatIntervals)
                    return failed(atLine(line.number, "the heart-rate data are not beat intervals: "
                                                      "[Params] say Interval=" +
                                                          shown(interval) +
                                                          ", only Interval=238 holds them"));
            }
            continue;
        }
        if (section == "[Params]" && s.substr(0, 9) == "Interval=") interval = trim(s.substr(9));
        if (section != "[HRData]") continue;
        const std::string_view first = s.substr(0, s.find_first_of(" \t"));
        double number = 0;
        if (!parseNumber(first, number)) return failed(notAnInterval(line.number, first));
        values.push_back({number, line.number});
    }
    if (!sawData) return failed("the heart-rate file has no [HRData] section");
    return finish(values, 1);
}

} // namespace

Recording readRecording(std::string_view text) {
    const std::vector<Line> lines = splitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view s = trim(lines[i].text);
        if (isComment(s)) continue;
        if (s.front() == '[') return readHrm(lines);
        double number = 0;
        const std::string_view beforeComment = trim(s.substr(0, s.find('#')));
        if (parseNumber(beforeComment, number)) return readPlain(lines);
        if (s.find_first_of(",;\t") != std::string_view::npos || intervalColumnUnit(s) >= 0)
            return readCsv(lines, i);
        return failed(notAnInterval(lines[i].number, s));
    }
    return failed("the file holds no intervals");
}

} // namespace brix

// The record reader: bounded, field by field, never trusting the file.
#include "record/record_reader.hpp"

#include "record/record_format.hpp"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(
            line.substr(start, comma == std::string_view::npos ? line.npos : comma - start));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

template <typename T> bool parseNumber(std::string_view text, T& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::string lineError(std::size_t line, const char* what) {
    return "line " + std::to_string(line) + ": " + what;
}

} // namespace

RecordReadResult parseSessionRecord(std::string_view text) {
    RecordReadResult result;
    if (text.size() > kLargestRecordBytes) {
        result.error = "too large for a session record";
        return result;
    }
    SessionRecordData data;
    int msColumn = -1, intervalColumn = -1, phaseColumn = -1, beatInPhaseColumn = -1,
        cycleColumn = -1, gapColumn = -1, breathColumn = -1;
    std::size_t lineNumber = 0, columns = 0;
    bool haveHeader = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        const std::vector<std::string_view> fields = splitFields(line);
        if (!haveHeader) {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const int column = static_cast<int>(i);
                if (fields[i] == "ms")
                    msColumn = column;
                else if (fields[i] == "interval_ms")
                    intervalColumn = column;
                else if (fields[i] == "phase")
                    phaseColumn = column;
                else if (fields[i] == "beat_in_phase")
                    beatInPhaseColumn = column;
                else if (fields[i] == "cycle")
                    cycleColumn = column;
                else if (fields[i] == "gap")
                    gapColumn = column;
                else if (fields[i] == "breath")
                    breathColumn = column;
            }
            if (msColumn < 0 || intervalColumn < 0 || phaseColumn < 0 || cycleColumn < 0) {
                result.error = lineError(lineNumber, "not a session record (the header lacks "
                                                     "ms, interval_ms, phase or cycle)");
                return result;
            }
            columns = fields.size();
            haveHeader = true;
            continue;
        }
        RecordedBeat beat;
        const auto field = [&fields](int column) {
            return fields[static_cast<std::size_t>(column)];
        };
        const bool good =
            fields.size() == columns && parseNumber(field(msColumn), beat.ms) &&
            parseNumber(field(intervalColumn), beat.intervalMs) &&
            (beat.phase = recordPhaseOf(field(phaseColumn))) >= 0 &&
            parseNumber(field(cycleColumn), beat.cycle) && beat.cycle >= 1 &&
            (beatInPhaseColumn < 0 || parseNumber(field(beatInPhaseColumn), beat.beatInPhase)) &&
            (gapColumn < 0 || field(gapColumn).empty() || field(gapColumn) == "1") &&
            (breathColumn < 0 || field(breathColumn).empty() || field(breathColumn) == "1" ||
             field(breathColumn) == "0");
        if (good && gapColumn >= 0) beat.gap = field(gapColumn) == "1";
        if (good && breathColumn >= 0 && !field(breathColumn).empty())
            beat.breath = field(breathColumn) == "1" ? 1 : 0;
        if (!good) {
            if (data.skippedLines++ == 0)
                data.firstSkippedLine = static_cast<std::int64_t>(lineNumber);
            continue;
        }
        data.beats.push_back(beat);
    }
    if (!haveHeader) {
        result.error = "empty: no header and no beats";
        return result;
    }
    if (data.beats.empty()) {
        result.error = data.skippedLines > 0
                           ? lineError(static_cast<std::size_t>(data.firstSkippedLine),
                                       "no row of the record parses")
                           : "the record holds no beats";
        return result;
    }
    result.record = std::move(data);
    return result;
}

RecordReadResult readSessionRecord(const std::string& path) {
    RecordReadResult result;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        result.error = path + ": cannot be read";
        return result;
    }
    std::string text;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kLargestRecordBytes) break; // refused below, without reading on
    }
    if (file.bad()) {
        result.error = path + ": cannot be read";
        return result;
    }
    result = parseSessionRecord(text);
    if (!result.record) result.error = path + ": " + result.error;
    return result;
}

std::string recordDateFromName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    // "YYYY-MM-DDTHH-MM-SS": digits everywhere but the separators.
    static constexpr char kPattern[] = "dddd-dd-ddTdd-dd-dd";
    if (name.size() < sizeof kPattern - 1) return {};
    for (std::size_t i = 0; i + 1 < sizeof kPattern; ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (kPattern[i] == 'd' ? !digit : name[i] != kPattern[i]) return {};
    }
    return name.substr(0, 10) + " " + name.substr(11, 2) + ":" + name.substr(14, 2);
}

std::pair<std::string, long> recordStartOrder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
    constexpr std::size_t kStampLength = 19; // YYYY-MM-DDTHH-MM-SS
    long number = 1;
    if (name.size() > kStampLength + 1 && name[kStampLength] == '-') {
        const std::string_view digits(name.c_str() + kStampLength + 1);
        if (!parseNumber(digits, number)) number = 1;
    }
    return {name.substr(0, kStampLength), number};
}

// Reads a session record (the CSV halvent writes) back, checking every field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct RecordedBeat {
    std::int64_t ms = 0; // since the session's start (a first beat may be early)
    std::uint32_t intervalMs = 0;
    std::int32_t phase = 0; // 0 inhale, 1 hold-in, 2 exhale, 3 hold-out
    std::int32_t beatInPhase = 0;
    std::int32_t cycle = 1;
    bool gap = false;        // the interval reaches across a stretch without a ready pulse
    signed char breath = -1; // 1 breathing in, 0 out, -1 the breath sensor not ready
};

struct SessionRecordData {
    std::vector<RecordedBeat> beats;
    std::int64_t skippedLines = 0; // rows that did not parse (a crash may cut the last one)
    std::int64_t firstSkippedLine = 0;
};

// Records larger than this are refused: the longest session holds about 24,000 beats.
inline constexpr std::size_t kLargestRecordBytes = 16u << 20;

struct RecordReadResult {
    std::optional<SessionRecordData> record;
    std::string error; // when there is no record: what was wrong, with the line number
};

// Parses the text of a record. The header names the columns (in any order; unknown ones are
// ignored); ms, interval_ms, phase and cycle must be there, gap may be (1 or empty), breath
// may be (1, 0 or empty). Rows that do not parse are skipped and counted; a record without one
// good row is an error.
RecordReadResult parseSessionRecord(std::string_view text);
// Reads and parses a file; the error names the file.
RecordReadResult readSessionRecord(const std::string& path);

// The local start time in a record's file name ("2026-12-08T10-15-03.csv", perhaps "-2"
// before the extension), as "2026-12-08 10:15"; empty when the name holds none.
std::string recordDateFromName(const std::string& path);
// The order records named so began in: the start time, then the number of a record started
// in the same second ("-2" after the one without a number).
std::pair<std::string, long> recordStartOrder(const std::string& path);

// The session record: one CSV row per beat and a JSON summary beside it, in a chosen folder.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "record/hrv_figures.hpp"

class AppendFile;
struct SensorState;
struct TrainingSession;

enum class SessionEnd { Completed, Halted, Restarted, Quit };

// The summary's word for how a session ended.
const char* sessionEndName(SessionEnd how);

// Local time as "2026-12-08T10:15:03+01:00", or for a file name "2026-12-08T10-15-03". Main
// thread only.
std::string recordLocalTime(std::time_t when, bool forFileName);

// A beat as the figures see it: its interval, where the pacer stands after it, `ms` since the
// session began, and the breath while the breath sensor is ready.
FigureBeat pacerBeat(const TrainingSession& session, const SensorState& sensor, std::int64_t ms,
                     std::uint32_t intervalMs, bool gap);

// Main thread only. Rows are kept in memory and appended (and synced to the disk) once per
// cycle, so a crash or a power cut loses at most the cycle in progress; the summary goes
// through a temporary file and a rename, so it is either whole or absent. Any failure prints
// one line on stderr and ends recording; the session itself never notices.
class SessionRecorder {
  public:
    SessionRecorder();
    ~SessionRecorder();

    // Turns recording on into this folder (created if missing), or off for an empty string.
    // False, after one line on stderr, when the folder cannot be written: recording stays off.
    bool setFolder(const std::string& folder);
    bool enabled() const { return !folder_.empty(); }
    // The folder records go to; empty when recording is off.
    const std::string& folder() const { return folder_; }
    // The CSV of the session being recorded; empty when none is.
    const std::string& csvPath() const { return csvPath_; }

    // A session starts from its first beat; startTick is the tick its times count from.
    void beginSession(const TrainingSession& session, std::uint32_t startTick);
    // After each pacer step: the step's tick and interval (ms), the cue it played (or null)
    // and whether the interval reaches across a gap (kept, marked, counted nowhere).
    // Closes the record as completed when the last cycle has just closed.
    void recordBeat(const TrainingSession& session, const SensorState& sensor,
                    std::uint32_t beatTick, std::uint32_t intervalMs, const char* cue,
                    bool gap = false);
    // Writes the rest of the rows and the summary; does nothing when no session is recorded.
    void endSession(SessionEnd how);

  private:
    bool appendPending();
    void writeBeatClasses();
    void writeSummary(SessionEnd how);

    std::string folder_;
    std::string csvPath_;
    std::unique_ptr<AppendFile> file_;
    std::string pending_; // rows of the cycle in progress
    // Every row so far, without its class: the whole record is written again with the
    // classes when the session ends.
    std::vector<std::string> rows_;
    std::uint32_t startTick_ = 0;
    std::string startTime_; // local, ISO 8601 with offset
    std::int32_t lastCycle_ = 1;
    std::vector<FigureBeat> beats_;
    // What the session was started with, for the summary.
    std::int32_t goal_ = 0, level_ = 0, cyclesPlanned_ = 0, cyclesDone_ = 0;
    std::int32_t formula_[4] = {0, 0, 0, 0};
};

// The program's one recorder; off until the entry point gives it a folder.
extern SessionRecorder sessionRecorder;

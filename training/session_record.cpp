// Writes the session record: rows appended per cycle, summary replaced whole by a rename.
#include "training/session_record.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include "sensor/sensor_state.hpp"
#include "training/training_session.hpp"

SessionRecorder sessionRecorder;

namespace {

constexpr const char* kCsvHeader =
    "beat,ms,interval_ms,hr_bpm,phase,beat_in_phase,cycle,cue,breath\n";

// Writes all of text, retrying short writes; the errno of the failure, or 0.
int writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Creates each missing folder of the path, like mkdir -p.
int makeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return errno;
        if (slash == std::string::npos) return 0;
    }
}

// Local time as "2026-12-08T10:15:03+01:00" (iso) or "2026-12-08T10-15-03" (file name).
std::string localTime(std::time_t when, bool forFileName) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[40];
    std::strftime(text, sizeof text, forFileName ? "%Y-%m-%dT%H-%M-%S" : "%Y-%m-%dT%H:%M:%S%z",
                  &local);
    std::string result = text;
    if (!forFileName && result.size() == 24) result.insert(22, ":"); // +0100 -> +01:00
    return result;
}

std::string number(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", *value);
    return text;
}

} // namespace

const char* recordPhaseName(std::int32_t phase) {
    switch (phase) {
    case 0:
        return "inhale";
    case 1:
        return "hold-in";
    case 2:
        return "exhale";
    case 3:
        return "hold-out";
    default:
        return "";
    }
}

const char* sessionEndName(SessionEnd how) {
    switch (how) {
    case SessionEnd::Completed:
        return "completed";
    case SessionEnd::Halted:
        return "halted";
    case SessionEnd::Restarted:
        return "restarted";
    case SessionEnd::Quit:
        return "quit";
    }
    return "";
}

SessionRecorder::~SessionRecorder() {
    if (fd_ >= 0) ::close(fd_);
}

bool SessionRecorder::setFolder(const std::string& folder) {
    folder_.clear();
    if (folder.empty()) return true;
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    int error = makeFolders(path);
    if (error == 0 && ::access(path.c_str(), W_OK | X_OK) != 0) error = errno;
    if (error != 0) {
        std::fprintf(stderr,
                     "halvent: cannot record sessions in %s (%s); sessions run unrecorded\n",
                     path.c_str(), std::strerror(error));
        return false;
    }
    folder_ = path;
    return true;
}

void SessionRecorder::beginSession(const TrainingSession& session, std::uint32_t startTick) {
    endSession(SessionEnd::Restarted);
    if (!enabled()) return;
    const std::time_t now = std::time(nullptr);
    const std::string stem = folder_ + "/" + localTime(now, true);
    // Two sessions started within one second get "-2", "-3", ...; O_EXCL never reuses a file.
    for (int n = 1; n < 100 && fd_ < 0; ++n) {
        const std::string path = stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".csv";
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd_ >= 0)
            csvPath_ = path;
        else if (errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        std::fprintf(stderr,
                     "halvent: cannot create a session record in %s (%s); this session "
                     "runs unrecorded\n",
                     folder_.c_str(), std::strerror(errno));
        return;
    }
    startTick_ = startTick;
    startTime_ = localTime(now, false);
    lastCycle_ = 1;
    beats_.clear();
    goal_ = session.goal;
    level_ = session.level;
    cyclesPlanned_ = session.cyclesSetting;
    cyclesDone_ = 0;
    for (std::size_t i = 0; i < 4; ++i)
        formula_[i] = session.phaseBeats[i];
    pending_ = kCsvHeader;
    appendPending();
}

void SessionRecorder::recordBeat(const TrainingSession& session, const SensorState& sensor,
                                 std::uint32_t beatTick, std::uint32_t intervalMs,
                                 const char* cue) {
    if (fd_ < 0) return;
    // The pacer's position after this step: the beat that closes cycle n begins cycle n + 1.
    const std::int32_t cycle = session.cyclesSetting - session.cyclesLeft + 1;
    cyclesDone_ = session.cyclesSetting - session.cyclesLeft;
    beats_.push_back({static_cast<double>(intervalMs), session.phase, cycle, false});

    std::string cueFile;
    if (cue) {
        cueFile = cue;
        if (const auto slash = cueFile.rfind('/'); slash != std::string::npos)
            cueFile.erase(0, slash + 1);
    }
    char hr[16] = "";
    if (intervalMs > 0) std::snprintf(hr, sizeof hr, "%.1f", 60000.0 / intervalMs);
    // The breath signal only means something while the breath sensor reports ready.
    const char* breath = sensor.breathStatus == 2 ? (sensor.breathOn ? "1" : "0") : "";
    char row[160];
    // Signed: a beat stamped just before the restart, stepped in the frame after it, is early.
    std::snprintf(row, sizeof row, "%zu,%d,%u,%s,%s,%d,%d,%s,%s\n", beats_.size(),
                  static_cast<int>(static_cast<std::int32_t>(beatTick - startTick_)),
                  static_cast<unsigned>(intervalMs), hr, recordPhaseName(session.phase),
                  session.beatInPhase, cycle, cueFile.c_str(), breath);
    pending_ += row;

    if (cycle != lastCycle_) {
        lastCycle_ = cycle;
        if (!appendPending()) return;
    }
    if (session.cyclesLeft <= 0) endSession(SessionEnd::Completed);
}

void SessionRecorder::endSession(SessionEnd how) {
    if (fd_ < 0) return;
    if (!appendPending()) return;
    ::close(fd_);
    fd_ = -1;
    writeSummary(how);
    csvPath_.clear();
}

bool SessionRecorder::appendPending() {
    struct stat before {};
    ::fstat(fd_, &before);
    if (const int error = writeAll(fd_, pending_); error != 0) {
        // Cut a half-written row away, so what the file holds still parses.
        if (::ftruncate(fd_, before.st_size) != 0) {
            // Nothing more to do: the reader skips a broken last line.
        }
        stop("recording stopped", error);
        return false;
    }
    pending_.clear();
    // Synced per cycle: a power cut then loses at most the cycle in progress.
    if (::fdatasync(fd_) != 0 && errno != EINVAL) {
        stop("recording stopped", errno);
        return false;
    }
    return true;
}

void SessionRecorder::stop(const char* what, int error) {
    std::fprintf(stderr, "halvent: %s: %s (%s); the session goes on unrecorded\n", what,
                 csvPath_.c_str(), std::strerror(error));
    ::close(fd_);
    fd_ = -1;
    pending_.clear();
    csvPath_.clear();
}

void SessionRecorder::writeSummary(SessionEnd how) {
    const HrvFigures f = computeHrvFigures(beats_);
    std::string arrhythmia;
    for (double d : f.cycleArrhythmia) {
        if (!arrhythmia.empty()) arrhythmia += ", ";
        arrhythmia += number(d);
    }
    const std::string csvName = csvPath_.substr(csvPath_.rfind('/') + 1);
    char formula[64];
    std::snprintf(formula, sizeof formula, "[%d, %d, %d, %d]", formula_[0], formula_[1],
                  formula_[2], formula_[3]);
    std::string json = "{\n";
    auto field = [&json](const char* name, const std::string& value, bool last = false) {
        json += std::string("  \"") + name + "\": " + value + (last ? "\n" : ",\n");
    };
    field("record", "\"" + csvName + "\"");
    field("start", "\"" + startTime_ + "\"");
    field("end", "\"" + localTime(std::time(nullptr), false) + "\"");
    field("ended", std::string("\"") + sessionEndName(how) + "\"");
    field("goal", std::to_string(goal_));
    field("level", std::to_string(level_));
    field("formula", formula);
    field("cycles_planned", std::to_string(cyclesPlanned_));
    field("cycles_done", std::to_string(cyclesDone_));
    field("beats", std::to_string(f.beats));
    field("beats_left_out", std::to_string(f.leftOut));
    field("mean_hr_bpm", number(f.meanHr));
    field("min_hr_bpm", number(f.minHr));
    field("max_hr_bpm", number(f.maxHr));
    field("mean_nn_ms", number(f.meanNnMs));
    field("sdnn_ms", number(f.sdnnMs));
    field("rmssd_ms", number(f.rmssdMs));
    field("pnn50_percent", number(f.pnn50));
    field("phase_mean_hr_bpm", "{\"inhale\": " + number(f.phaseMeanHr[0]) +
                                   ", \"hold-in\": " + number(f.phaseMeanHr[1]) +
                                   ", \"exhale\": " + number(f.phaseMeanHr[2]) +
                                   ", \"hold-out\": " + number(f.phaseMeanHr[3]) + "}");
    field("arrhythmia_bpm",
          "{\"per_cycle\": [" + arrhythmia + "], \"mean\": " + number(f.arrhythmiaMean) +
              ", \"sd\": " + number(f.arrhythmiaSd) + "}",
          true);
    json += "}\n";

    const std::string path = csvPath_.substr(0, csvPath_.size() - 4) + ".json";
    const std::string temporary = path + ".tmp";
    int error = 0;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) error = errno;
    if (error == 0) error = writeAll(fd, json);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (fd >= 0 && ::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        std::fprintf(stderr, "halvent: cannot write the session summary %s (%s)\n", path.c_str(),
                     std::strerror(error));
    }
}

// The session record: beats of a real rhythm kept exactly, figures checked independently,
// nothing half-written after a kill or a full disk, and halvent-report's picture and reader.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/frame_advance.hpp"
#include "app/session_flow.hpp"
#include "app/shell.hpp"
#include "brix.h"
#include "gui/gui.hpp"
#include "platform/events.hpp"
#include "platform/ticks.hpp"
#include "brix_message.hpp"
#include "support/test_support.hpp"
#include "training/session_record.hpp"
#include "training/sound_cues.hpp"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint32_t> realIntervals() {
    std::ifstream file(testdataDir() / "rr" / "real_rri.txt");
    std::vector<std::uint32_t> intervals;
    for (std::uint32_t ms; file >> ms;)
        intervals.push_back(ms);
    return intervals;
}

std::string readText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

using Row = std::map<std::string, std::string>;
// The rows of a record by column name; every line must have the header's field count.
std::vector<Row> readCsv(const fs::path& path) {
    std::istringstream text(readText(path));
    std::vector<std::string> header;
    std::vector<Row> rows;
    for (std::string line; std::getline(text, line);) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, ',');)
            fields.push_back(field);
        if (!line.empty() && line.back() == ',') fields.emplace_back();
        if (header.empty()) {
            header = fields;
            continue;
        }
        EXPECT_EQ(fields.size(), header.size()) << "line: " << line;
        Row row;
        for (std::size_t i = 0; i < header.size() && i < fields.size(); ++i)
            row[header[i]] = fields[i];
        rows.push_back(row);
    }
    return rows;
}

std::vector<fs::path> filesIn(const fs::path& folder, const std::string& extension) {
    std::vector<fs::path> found;
    if (!fs::exists(folder)) return found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == extension) found.push_back(entry.path());
    return found;
}

// Runs a command; its exit status and what it printed on both streams.
int run(const std::string& command, std::string& output) {
    output.clear();
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool readPng(const fs::path& path, png_image& image, std::vector<png_byte>& pixels) {
    image = png_image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    pixels.assign(PNG_IMAGE_SIZE(image), 0);
    return png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
}

const std::string kReport = std::string(HALVENT_BINARY_DIR) + "/report/halvent-report";

// A fresh session with formula 4-1-6-1, a settable clock, captured cues and a record folder.
class SessionRecordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setTickOverride(now);
        gui = Gui();
        gui.session.applyGoal(7, 1);
        gui.session.phaseBeats = {4, 1, 6, 1};
        setCueObserver([this](const std::string& command) { cues[beat] = command; });
        records = scratch.path() / "sessions";
        ASSERT_TRUE(sessionRecorder.setFolder(records.string()));
    }
    void TearDown() override {
        sessionRecorder.endSession(SessionEnd::Quit);
        sessionRecorder.setFolder("");
        setCueObserver(nullptr);
        clearTickOverride();
        gui = Gui();
    }
    void beatAfter(std::uint32_t ms) {
        now += ms;
        setTickOverride(now);
        ++beat;
        gui.sensor.pendingBeats.push_back({now}); // as the decoder leaves a beat
        stepPacer();
    }

    ScratchDirectory scratch;
    fs::path records;
    std::uint32_t now = 70000;
    int beat = 0;
    std::map<int, std::string> cues; // the pacer's own log of cues, by beat
};

TEST_F(SessionRecordTest, RealRhythmIsKeptBeatForBeatAndItsFiguresAgreeWithAnIndependentSum) {
    const std::vector<std::uint32_t> rr = realIntervals();
    ASSERT_GE(rr.size(), 361u);
    gui.session.cyclesSetting = 30; // 30 cycles of 12 beats: the session completes at beat 361
    startSession();
    struct Step {
        std::int32_t phase, beatInPhase, cycle;
    };
    std::vector<Step> pacer;
    for (int i = 0; i < 361 && !gui.inMenu; ++i) {
        beatAfter(rr[static_cast<std::size_t>(i)]);
        const TrainingSession& s = gui.session;
        pacer.push_back({s.phase, s.beatInPhase, s.cyclesSetting - s.cyclesLeft + 1});
        if (s.cyclesLeft == 0) break;
    }
    ASSERT_EQ(pacer.size(), 361u);

    const std::vector<fs::path> csv = filesIn(records, ".csv");
    ASSERT_EQ(csv.size(), 1u);
    const std::vector<Row> rows = readCsv(csv[0]);
    ASSERT_EQ(rows.size(), 361u);
    const char* names[] = {"inhale", "hold-in", "exhale", "hold-out"};
    std::uint32_t elapsed = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        elapsed += rr[i];
        const Row& row = rows[i];
        SCOPED_TRACE("beat " + std::to_string(i + 1));
        EXPECT_EQ(row.at("interval_ms"), std::to_string(rr[i]));
        EXPECT_EQ(row.at("ms"), std::to_string(elapsed));
        EXPECT_EQ(row.at("phase"), names[pacer[i].phase]);
        EXPECT_EQ(row.at("beat_in_phase"), std::to_string(pacer[i].beatInPhase));
        EXPECT_EQ(row.at("cycle"), std::to_string(pacer[i].cycle));
        const auto cue = cues.find(static_cast<int>(i) + 1);
        EXPECT_EQ(row.at("cue"),
                  cue == cues.end() ? "" : cue->second.substr(cue->second.rfind('/') + 1));
        EXPECT_EQ(row.at("breath"), ""); // no breath sensor reported ready
        if (i > 0) EXPECT_NE(row.at("class"), ""); // the first reaches back before the session
    }

    // The figures of the summary against a separate computation over the CSV's own intervals,
    // put right as its classes say.
    const std::vector<fs::path> json = filesIn(records, ".json");
    ASSERT_EQ(json.size(), 1u);
    const std::string check = R"PY(
import csv, json, math, statistics, sys
rows = list(csv.DictReader(open(sys.argv[1])))
summary = json.load(open(sys.argv[2]))
# The beats put right by the record's own classes: a missed beat split in two halves, an
# extra beat joined to the next, ectopic, long and short ones replaced by the line between
# their nearest normal neighbours. Each entry: interval, and the phase and cycle it elapsed in.
rr = [int(r['interval_ms']) for r in rows]
cls = [r['class'] for r in rows]
def replaced(i):
    b, a = i - 1, i + 1
    while b >= 0 and cls[b] != 'normal': b -= 1
    while a < len(rows) and cls[a] != 'normal': a += 1
    return rr[b] + (i - b) / (a - b) * (rr[a] - rr[b])
fixed, i = [], 1
while i < len(rows):
    before = (rows[i - 1]['phase'], rows[i - 1]['cycle'])
    if cls[i] == 'missed':
        fixed += [(rr[i] / 2, *before), (rr[i] / 2, *before)]
    elif cls[i] == 'extra' and i + 1 < len(rows) and cls[i + 1] == 'extra':
        fixed.append((rr[i] + rr[i + 1], *before)); i += 1
    elif cls[i] in ('ectopic', 'long', 'short'):
        fixed.append((replaced(i), *before))
    else:
        fixed.append((rr[i], *before))
    i += 1
used = [300 <= v <= 2000 for v, _, _ in fixed]
nn = [v for (v, _, _), u in zip(fixed, used) if u]
hr = [60000 / v for v in nn]
diffs = [fixed[i][0] - fixed[i - 1][0] for i in range(1, len(fixed)) if used[i] and used[i - 1]]
def rate(phase, cycle=None):
    return [60000 / v for (v, p, c), u in zip(fixed, used)
            if u and p == phase and (cycle is None or c == cycle)]
per_cycle = []
for c in dict.fromkeys(r['cycle'] for r in rows):
    i, e = rate('inhale', c), rate('exhale', c)
    if i and e: per_cycle.append(statistics.mean(i) - statistics.mean(e))
ours = {'mean_hr_bpm': statistics.mean(hr), 'min_hr_bpm': min(hr), 'max_hr_bpm': max(hr),
        'sdnn_ms': statistics.stdev(nn), 'rmssd_ms': math.sqrt(sum(d * d for d in diffs) / len(diffs)),
        'pnn50_percent': 100 * sum(abs(d) > 50 for d in diffs) / len(diffs),
        'beats_left_out': len(fixed) - len(nn) + 1}
ours.update({'phase ' + p: statistics.mean(rate(p)) for p in ('inhale', 'hold-in', 'exhale', 'hold-out')})
ours['arrhythmia mean'] = statistics.mean(per_cycle)
ours['arrhythmia sd'] = statistics.stdev(per_cycle)
theirs = dict(summary)
theirs.update({'phase ' + p: v for p, v in summary['phase_mean_hr_bpm'].items()})
theirs['arrhythmia mean'] = summary['arrhythmia_bpm']['mean']
theirs['arrhythmia sd'] = summary['arrhythmia_bpm']['sd']
bad = [f"{k}: {theirs[k]} != {v}" for k, v in ours.items()
       if not abs(theirs[k] - v) <= max(0.1 if k.endswith('_ms') else 0, 0.001 * abs(v)) + 0.0005]
print('\n'.join(bad) or 'agree')
)PY";
    fs::path script = scratch.path() / "figures.py";
    std::ofstream(script) << check;
    std::string output;
    ASSERT_EQ(
        run("/usr/bin/python3 " + script.string() + " " + csv[0].string() + " " + json[0].string(),
            output),
        0)
        << output;
    EXPECT_EQ(output, "agree\n");
    const std::string summary = readText(json[0]);
    EXPECT_NE(summary.find("\"ended\": \"completed\""), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"cycles_done\": 30"), std::string::npos);
    EXPECT_NE(summary.find("\"formula\": [4, 1, 6, 1]"), std::string::npos);

    // halvent-report draws that record: its size, the three phase tints, a curve.
    const fs::path png = scratch.path() / "report.png";
    ASSERT_EQ(run(kReport + " " + csv[0].string() + " -o " + png.string(), output), 0) << output;
    png_image image{};
    std::vector<png_byte> pixels;
    ASSERT_TRUE(readPng(png, image, pixels));
    EXPECT_EQ(image.width, 1200u);
    EXPECT_EQ(image.height, 600u);
    int inhale = 0, hold = 0, exhale = 0, curve = 0;
    for (png_uint_32 y = 0; y < image.height; ++y)
        for (png_uint_32 x = 0; x < image.width; ++x) {
            const png_byte* p = &pixels[(y * image.width + x) * 3];
            if (p[0] == 194 && p[1] == 99 && p[2] == 79) ++inhale;
            if (p[0] == 79 && p[1] == 194 && p[2] == 99) ++hold;
            if (p[0] == 79 && p[1] == 99 && p[2] == 194) ++exhale;
            // Dark strokes inside the plot, left of the figures box: the heart-rate curve.
            if (x > 80 && x < 880 && y > 60 && y < 510 && p[0] < 70 && p[1] < 70 && p[2] < 70)
                ++curve;
        }
    EXPECT_GT(inhale, 1000);
    EXPECT_GT(hold, 1000);
    EXPECT_GT(exhale, 1000);
    EXPECT_GT(curve, 1000);

    // Several records add the trend panel; the page and the SVG carry the same picture.
    ASSERT_EQ(run(kReport + " " + csv[0].string() + " " + csv[0].string() + " -o " + png.string(),
                  output),
              0)
        << output;
    ASSERT_TRUE(readPng(png, image, pixels));
    EXPECT_EQ(image.height, 920u);
    const fs::path page = scratch.path() / "report.html", svg = scratch.path() / "report.svg";
    ASSERT_EQ(run(kReport + " " + csv[0].string() + " --html -o " + page.string(), output), 0);
    EXPECT_NE(readText(page).find("src=\"data:image/png;base64,iVBORw0KGgo"), std::string::npos);
    ASSERT_EQ(run(kReport + " " + csv[0].string() + " -o " + svg.string(), output), 0);
    EXPECT_NE(readText(svg).find("<svg"), std::string::npos);
}

TEST_F(SessionRecordTest, KilledMidSessionLeavesEveryClosedCycleAndNoSummary) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        startSession();
        for (int i = 0; i < 12 * 2 + 1 + 5; ++i)
            beatAfter(900); // two cycles closed, five beats on
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    const std::vector<fs::path> csv = filesIn(records, ".csv");
    ASSERT_EQ(csv.size(), 1u);
    // Cycle 2 closes at beat 25 (12 beats a cycle, the first beat begins cycle 1).
    const std::vector<Row> rows = readCsv(csv[0]);
    ASSERT_EQ(rows.size(), 25u);
    EXPECT_EQ(rows.back().at("cycle"), "3");
    // Nothing but the CSV: no summary, and no half-written one under a temporary name.
    EXPECT_EQ(std::distance(fs::directory_iterator(records), fs::directory_iterator()), 1);
    std::string output;
    EXPECT_EQ(
        run(kReport + " " + csv[0].string() + " -o " + (scratch.path() / "k.png").string(), output),
        0)
        << output;
}

TEST_F(SessionRecordTest, AFullDiskOrAnUnwritableFolderOnlyStopsRecording) {
    // A folder below a plain file can never be made, even by root.
    std::ofstream(scratch.path() / "plain") << "x";
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(sessionRecorder.setFolder((scratch.path() / "plain" / "sessions").string()));
    const std::string refused = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(refused.find("plain/sessions"), std::string::npos) << refused;
    EXPECT_EQ(std::count(refused.begin(), refused.end(), '\n'), 1);
    EXPECT_FALSE(sessionRecorder.enabled());

    // The disk fills during the third cycle: one line, the file still parses, no summary.
    ASSERT_TRUE(sessionRecorder.setFolder(records.string()));
    const fs::path errors = scratch.path() / "stderr.txt";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::freopen(errors.c_str(), "w", stderr);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{700, 700}; // bytes: the header and about two cycles of rows
        ::setrlimit(RLIMIT_FSIZE, &limit);
        startSession();
        for (int i = 0; i < 12 * 5; ++i)
            beatAfter(1000);
        sessionRecorder.endSession(SessionEnd::Halted);
        std::fflush(stderr);
        // The session went on: five cycles done.
        ::_exit(gui.session.cyclesLeft == gui.session.cyclesSetting - 4 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string said = readText(errors);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("recording stopped"), std::string::npos) << said;
    const std::vector<fs::path> csv = filesIn(records, ".csv");
    ASSERT_EQ(csv.size(), 1u);
    const std::string text = readText(csv[0]);
    EXPECT_LE(text.size(), 700u);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_GE(readCsv(csv[0]).size(), 13u); // at least the first cycle
    EXPECT_TRUE(filesIn(records, ".json").empty());
}

TEST_F(SessionRecordTest, ARealRhythmReplayedThroughTheSensorPathIsRecordedBeatForBeat) {
    // Real time: the recording plays at its own speed through brix, the event queue and the
    // decoder, and each beat reaches the pacer with its own time stamp.
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0);
    clearTickOverride();
    gui.session.applyGoal(7, 1);
    gui.session.phaseBeats = {2, 1, 3, 1};
    const std::vector<std::uint32_t> rr = realIntervals();
    const fs::path recording = scratch.path() / "excerpt.txt";
    {
        std::ofstream out(recording);
        for (std::size_t i = 0; i < 20; ++i)
            out << rr[i] << "\n";
    }
    char error[256] = "";
    ASSERT_TRUE(BrixChooseSource(("replay:" + recording.string()).c_str(), error, sizeof error))
        << error;
    int window = 0;
    ASSERT_TRUE(BrixOpen(&window, kSensorMessage));
    startSession();
    struct Step {
        std::int32_t phase, beatInPhase, cycle;
    };
    std::vector<Step> pacer;
    const auto start = std::chrono::steady_clock::now();
    auto lastBeat = start;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(40) &&
           (pacer.size() < 19 ||
            std::chrono::steady_clock::now() - lastBeat < std::chrono::seconds(3))) {
        Event event;
        while (pollEvent(event))
            windowProc(event);
        for (const SensorBeat& sensed : gui.sensor.pendingBeats) {
            ++beat;
            passOnPacerStep(sensed, gui.session.onBeat(gui.inMenu != 0, sensed));
            const TrainingSession& s = gui.session;
            pacer.push_back({s.phase, s.beatInPhase, s.cyclesSetting - s.cyclesLeft + 1});
            lastBeat = std::chrono::steady_clock::now();
        }
        gui.sensor.pendingBeats.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    BrixClose();
    sessionRecorder.endSession(SessionEnd::Halted);
    SDL_Quit();
    BrixChooseSource("simulated", error, sizeof error);

    const std::vector<fs::path> csv = filesIn(records, ".csv");
    ASSERT_EQ(csv.size(), 1u);
    const std::vector<Row> rows = readCsv(csv[0]);
    ASSERT_GE(pacer.size(), 19u);
    ASSERT_EQ(rows.size(), pacer.size());
    const char* names[] = {"inhale", "hold-in", "exhale", "hold-out"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("beat " + std::to_string(i + 1));
        // Exactly the intervals the pacer measured, at the pacer's own positions and cues.
        EXPECT_EQ(rows[i].at("interval_ms"),
                  std::to_string(static_cast<std::uint32_t>(gui.session.beatIntervals[i])));
        EXPECT_EQ(rows[i].at("phase"), names[pacer[i].phase]);
        EXPECT_EQ(rows[i].at("beat_in_phase"), std::to_string(pacer[i].beatInPhase));
        EXPECT_EQ(rows[i].at("cycle"), std::to_string(pacer[i].cycle));
        const auto cue = cues.find(static_cast<int>(i) + 1);
        EXPECT_EQ(rows[i].at("cue"),
                  cue == cues.end() ? "" : cue->second.substr(cue->second.rfind('/') + 1));
    }
    // And those are the recording's intervals: from the second beat on (the first one's
    // interval is the wait before the session), each within a few ms of the file's.
    std::vector<int> errors;
    std::size_t offset = 0;
    while (offset < 3 &&
           std::abs(std::stoi(rows[1].at("interval_ms")) - static_cast<int>(rr[offset])) > 20)
        ++offset;
    for (std::size_t i = 1; i < rows.size() && i - 1 + offset < 20; ++i)
        errors.push_back(
            std::abs(std::stoi(rows[i].at("interval_ms")) - static_cast<int>(rr[i - 1 + offset])));
    ASSERT_GE(errors.size(), 17u);
    std::sort(errors.begin(), errors.end());
    EXPECT_LE(errors[errors.size() / 2], 2) << "median error, ms";
    EXPECT_LE(errors.back(), 17) << "worst error, ms (one frame)";
}

TEST(HalventReport, RefusesOrSkipsBadRecordsWithAClearLine) {
    ScratchDirectory scratch;
    const std::string header = "beat,ms,interval_ms,hr_bpm,phase,beat_in_phase,cycle,cue,breath\n";
    const std::string row = "1,1000,1000,60.0,inhale,1,1,,\n2,1900,900,66.7,inhale,2,1,,\n";
    struct Case {
        const char* name;
        std::string text;
        int status;
        const char* says;
    } cases[] = {
        {"empty", "", 1, "empty"},
        {"not-a-record", "rr\n1000\n900\n", 1, "line 1: not a session record"},
        {"header-only", header, 1, "no beats"},
        {"junk",
         header + "1,x,1000,,inhale,1,1,,\n2,5,99999999999,,inhale,1,1,,\n3,7,9,,sigh,1,1,,\n", 1,
         "line 2: no row of the record parses"},
        {"cut-short", header + row + "3,2800,90", 0,
         "skipped 1 malformed line(s), the first at line 4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = scratch.path() / (std::string(c.name) + ".csv");
        std::ofstream(path, std::ios::binary) << c.text;
        std::string output;
        EXPECT_EQ(run(kReport + " " + path.string(), output), c.status) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
        EXPECT_EQ(fs::exists(scratch.path() / (std::string(c.name) + ".png")), c.status == 0);
    }
}

} // namespace

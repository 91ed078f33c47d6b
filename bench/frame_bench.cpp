// In-process benchmarks on a real offscreen OpenGL context: frame times of the menu and the
// training screen, and the delay from a posted sensor message to the pacer step it causes.
#include <GL/gl.h>
#include <GL/glext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/frame_schedule.hpp"
#include "app/program_frame.hpp"
#include "app/session_flow.hpp"
#include "app/shell.hpp"
#include "bench/floor_frame.hpp"
#include "gui/gui.hpp"
#include "gui/menu_layout.hpp"
#include "platform/events.hpp"
#include "platform/ticks.hpp"
#include "platform/window.hpp"
#include "brix_message.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// CPU time of the whole process, the rasteriser's threads included, in milliseconds.
double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Options {
    int frames = 1000;         // timed frames per screen
    int warmup = 250;          // frames before timing: the menu's zoom-in settles in about 200
    int graphBeats = 480;      // beats fed before timing the training screen (53 cycles of 9)
    int beats = 200;           // beats per latency run
    std::string out;           // also write the table here
    std::string floorOut;      // and the rows against the floor here
    bool rendererOnly = false; // only print the OpenGL renderer and version
    std::string framesDir;     // keeps the last timed frame of each screen as a PPM picture
};

// Median and 99th percentile (nearest rank) of a sample, in milliseconds.
struct Summary {
    double median = 0, p99 = 0, max = 0;
    std::size_t count = 0;
};

Summary summarise(std::vector<double> values) {
    Summary s;
    s.count = values.size();
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const auto rank = [&](double q) {
        const auto index =
            static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
        return values[std::min(values.size() - 1, index == 0 ? 0 : index - 1)];
    };
    s.median = values.size() % 2 ? values[values.size() / 2]
                                 : (values[values.size() / 2 - 1] + values[values.size() / 2]) / 2;
    s.p99 = rank(0.99);
    s.max = values.back();
    return s;
}

std::vector<std::string> tableRows;
std::vector<std::string> ratioLines; // printed under the table
std::vector<std::string> floorRows;  // rows of the table against the floor program

void addFloorRow(const std::string& what, const std::string& value, const std::string& floor,
                 double ratio, const std::string& goal) {
    char line[512];
    std::snprintf(line, sizeof line, "| %s | %s | %s | %.2f | %s |", what.c_str(), value.c_str(),
                  floor.c_str(), ratio, goal.c_str());
    floorRows.emplace_back(line);
}

std::string ms(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f ms", value);
    return text;
}

void addRow(const std::string& what, const Summary& s, const std::string& note) {
    char line[512];
    std::snprintf(line, sizeof line, "| %s | %.3f | %.3f | %.3f | %zu | %s |", what.c_str(),
                  s.median, s.p99, s.max, s.count, note.c_str());
    tableRows.emplace_back(line);
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// A working folder like the program's: img/ from the source tree and a settings file with
// every element shown, so no missing-file box comes up.
std::filesystem::path workingFolder;

// Also on the early exits of a failed run.
void removeWorkingFolder() {
    if (workingFolder.empty()) return;
    std::error_code ignored;
    std::filesystem::current_path("/", ignored);
    std::filesystem::remove_all(workingFolder, ignored);
    workingFolder.clear();
}

void makeWorkingFolder() {
    char pattern[] = "/tmp/halvent-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    const std::filesystem::path dir = made;
    std::filesystem::create_directory_symlink(std::filesystem::path(HALVENT_SOURCE_DIR) / "img",
                                              dir / "img");
    std::ofstream(dir / "menu.cfg", std::ios::binary) << "00000000";
    std::filesystem::current_path(dir);
    workingFolder = dir;
    std::atexit(removeWorkingFolder);
}

// Opens the window the program would open (hidden, 800 x 600) with the given pace and builds
// the user interface as the window-creation steps do, without opening the sensor link: the
// benchmark posts the sensor messages itself.
// How long the first opening took: window and context, then the user interface build
// (textures, menu, settings file, bitmap font), each to glFinish.
struct StartUp {
    double window = 0, build = 0;
};

StartUp openProgramWindow(int fps) {
    StartUp times;
    const auto start = Clock::now();
    WindowOptions options;
    options.windowed = true;
    options.hidden = true;
    options.fps = fps;
    if (createMainWindow(options) != WindowResult::Ok) {
        std::fprintf(stderr, "halvent_bench: no OpenGL context (SDL_VIDEODRIVER=offscreen?)\n");
        std::exit(1);
    }
    resizeViewport(800, 600);
    glFinish();
    const auto windowDone = Clock::now();
    buildUserInterface(800, 600, mainWindowHandle());
    glFinish();
    times.window = msSince(start, windowDone);
    times.build = msSince(windowDone, Clock::now());
    gui.sensor.reset();
    gui.sensor.window = mainWindowHandle();
    // Both sensors ready, as the device reports them.
    gui.sensor.breathStatus = 2;
    gui.sensor.pulseStatus = 2;
    return times;
}

void drainEvents() {
    Event event;
    while (pollEvent(event))
        dispatchEvent(event);
    // A close or quit ends the program's loop; here it would only stall the latency runs.
    if (quitRequested()) {
        std::fprintf(stderr, "halvent_bench: the window was asked to close\n");
        std::exit(1);
    }
}

// The clock the beats see: driven by the bench, so the pulse graph shows intervals that
// swing between about 700 and 1000 ms however fast the frames are drawn.
std::uint32_t beatTick = 100000;
int beatCount = 0;

void feedBeat() {
    beatTick += static_cast<std::uint32_t>(850.0 + 150.0 * std::sin(beatCount++ / 7.0));
    setTickOverride(beatTick);
    gui.sensor.pulseIndicator = 1.0f; // an armed rise, as the decoder leaves it
    gui.sensor.pendingBeats.push_back({beatTick});
}

// Appends the times of `count` frames; during a session a beat comes every 60 frames, which
// keeps the pacer's fades and eases moving as at 60 beats a minute and 60 frames a second.
int sessionFrames = 0;

// Wall time and CPU time of each frame, in milliseconds.
struct FrameTimes {
    std::vector<double> wall, cpu;
};

void timeFrames(int count, FrameTimes& times, void (*draw)() = advanceAndDrawFrame) {
    for (int i = 0; i < count; ++i) {
        if (!gui.inMenu && sessionFrames++ % 60 == 0 && gui.session.cyclesLeft > 1) feedBeat();
        const auto start = Clock::now();
        const double cpuStart = processCpuMs();
        draw();
        glFinish();
        times.wall.push_back(msSince(start, Clock::now()));
        times.cpu.push_back(processCpuMs() - cpuStart);
    }
}

// So a person can see what was timed.
void keepFrame(const Options& o, const std::string& name) {
    if (o.framesDir.empty()) return;
    std::vector<unsigned char> pixels(800 * 600 * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::ofstream out(o.framesDir + "/" + name + ".ppm", std::ios::binary);
    out << "P6\n800 600\n255\n";
    for (int row = 599; row >= 0; --row)
        out.write(reinterpret_cast<const char*>(pixels.data() + row * 800 * 3), 800 * 3);
}

// A session with every element shown and a pulse graph of `graphBeats` beats.
void startFullSession(int graphBeats, std::int32_t graphMode) {
    for (auto& button : gui.smallButtons)
        button.raised = 1;
    gui.pulseIntervalMode = graphMode;
    gui.session.cyclesSetting = 60;
    setTickOverride(beatTick);
    gui.session.lastBeatTick = beatTick;
    startSession();
    for (int i = 0; i < graphBeats && gui.session.cyclesLeft > 1; ++i) {
        feedBeat();
        advanceAndDrawFrame();
        glFinish(); // else the offscreen driver queues every frame and memory grows
    }
}

// Pixels shaded by one frame, in screens of 800 x 600: a count the load of the machine does not
// move (the rasteriser's fragment invocations). Negative when the driver cannot count them.
double shadedScreens(void (*draw)()) {
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!extensions || !std::strstr(extensions, "GL_ARB_pipeline_statistics_query")) return -1.0;
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, query);
    draw();
    glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
    GLuint64 count = 0;
    glGetQueryObjectui64v(query, GL_QUERY_RESULT, &count);
    glDeleteQueries(1, &query);
    return static_cast<double>(count) / (800.0 * 600.0);
}

// The floor (the background mesh alone), the menu and the training screen with both graph
// modes, in turns of 20 frames, so that the load of a busy machine falls on all alike and
// their ratios hold. Every menu frame is drawn here, as while it zooms or fades.
void benchFrames(const Options& o) {
    startFullSession(o.graphBeats, 0);
    gui.inMenu = 1;
    FrameTimes floor, menu, menuFading, menuWhole, everyBeat, cycleMeans, warmup;
    timeFrames(o.warmup, warmup); // the menu's zoom-in
    const auto frames = static_cast<std::size_t>(o.frames);
    while (menu.wall.size() < frames) {
        const int turn = static_cast<int>(std::min<std::size_t>(20, frames - menu.wall.size()));
        gui.inMenu = 1; // no beats are fed to the floor
        timeFrames(turn, floor, drawFloorFrame);
        gui.inMenu = 1;
        timeFrames(turn, menu);
        const MenuItem settled = gui.menuItems.at(0);
        // An entry lit as the pointer leaves it, then fading through the turn: drawn again
        // round it.
        gui.styleMenuItem(0.1f, 0.1f, 20, 0.2f, 0.1f, 0.1f, 0.7f, 0);
        timeFrames(turn, menuFading);
        gui.menuItems[0] = settled;
        timeFrames(turn, menuWhole, [] {
            // As while the menu zooms in: every widget drawn, and an entry fading too.
            gui.menuScaleX = gui.menuTargetScaleX * 0.99f;
            gui.styleMenuItem(0.1f, 0.1f, 20, 0.2f, 0.1f, 0.1f, 0.7f, 0);
            advanceAndDrawFrame();
        });
        gui.menuScaleX = gui.menuTargetScaleX;
        gui.menuItems[0] = settled; // still again for the next turn
        gui.inMenu = 0;
        gui.pulseIntervalMode = 0; // every beat: the longest curve
        timeFrames(turn, everyBeat);
        gui.pulseIntervalMode = 1; // cycle means: what a session shows by default
        timeFrames(turn, cycleMeans);
        if (gui.inMenu) {
            std::fprintf(stderr, "halvent_bench: the session ended while timing\n");
            std::exit(1);
        }
    }
    keepFrame(o, "training");
    const double trainingShaded = shadedScreens(advanceAndDrawFrame);
    gui.inMenu = 1;
    advanceAndDrawFrame(); // the first menu frame after a session is drawn whole and kept
    const double menuShaded = shadedScreens(advanceAndDrawFrame);
    const double menuFadingShaded = shadedScreens([] {
        gui.styleMenuItem(0.1f, 0.1f, 20, 0.2f, 0.1f, 0.1f, 0.7f, 0);
        advanceAndDrawFrame();
    });
    const double menuWholeShaded = shadedScreens([] {
        gui.menuScaleX = gui.menuTargetScaleX * 0.99f;
        advanceAndDrawFrame();
    });
    gui.menuScaleX = gui.menuTargetScaleX;
    keepFrame(o, "menu");
    const double floorShaded = shadedScreens(drawFloorFrame);
    keepFrame(o, "floor");

    const Summary w = summarise(menuWhole.wall), wc = summarise(menuWhole.cpu);
    const Summary d = summarise(menuFading.wall), dc = summarise(menuFading.cpu);
    const Summary f = summarise(floor.wall), m = summarise(menu.wall),
                  e = summarise(everyBeat.wall), c = summarise(cycleMeans.wall);
    const Summary fc = summarise(floor.cpu), mc = summarise(menu.cpu),
                  ec = summarise(everyBeat.cpu), cc = summarise(cycleMeans.cpu);
    addRow("frame, floor (background mesh alone)", f, "a whole frame + glFinish, unpaced; CPU " +
                                                          ms(fc.median));
    addRow("frame, menu (still: its kept picture and the status lines)", m,
           "unpaced; CPU " + ms(mc.median));
    addRow("frame, menu (an entry fading: drawn again round it)", d,
           "unpaced; CPU " + ms(dc.median));
    addRow("frame, menu (zooming: drawn whole)", w, "unpaced; CPU " + ms(wc.median));
    addRow("frame, training screen, graph of every beat", e,
           "all elements shown, " + std::to_string(gui.session.beatIntervals.size()) +
               " graph points, unpaced; CPU " + ms(ec.median));
    addRow("frame, training screen, graph of cycle means", c,
           "all elements shown, " + std::to_string(gui.session.cycleMeans.size()) +
               " graph points, unpaced; CPU " + ms(cc.median));
    char line[300];
    std::snprintf(line, sizeof line,
                  "- median frame / floor, CPU time (wall time): training screen %.2f (%.2f) with "
                  "the graph of every beat, %.2f (%.2f) with cycle means; menu %.2f (%.2f); "
                  "frames timed in turns of 20",
                  ec.median / fc.median, e.median / f.median, cc.median / fc.median,
                  c.median / f.median, mc.median / fc.median, m.median / f.median);
    ratioLines.emplace_back(line);
    if (floorShaded > 0) {
        char shaded[64], floorText[40];
        std::snprintf(shaded, sizeof shaded, "%.2f (menu %.2f, %.2f, %.2f)", trainingShaded,
                      menuShaded, menuFadingShaded, menuWholeShaded);
        std::snprintf(floorText, sizeof floorText, "%.2f", floorShaded);
        addFloorRow("pixels shaded per frame, in screens of 800 x 600: training "
                    "(menu still, fading, zooming)",
                    shaded,
                    floorText, trainingShaded / floorShaded, "(no goal; the cost behind the times)");
    }
    // CPU time per frame against the floor's, wall time beside it.
    const auto frameRow = [&](const char* what, const Summary& cpu, const Summary& wall,
                              const char* goal) {
        addFloorRow(std::string(what) + ": CPU time per frame (wall)",
                    ms(cpu.median) + " (" + ms(wall.median) + ")",
                    ms(fc.median) + " (" + ms(f.median) + ")", cpu.median / fc.median, goal);
    };
    frameRow("training frame, all shown", ec, e, "<= 1.3");
    frameRow("menu frame, still (a beat flash)", mc, m, "<= 1.0");
    frameRow("menu frame, an entry fading (drawn again round it)", dc, d, "<= 1.0");
    frameRow("menu frame, zooming (drawn whole)", wc, w, "<= 1.0");
    clearTickOverride();
}

// Sensor message words: device 7, both sensors ready (status code 2 at bits 21-22 and 18-19).
constexpr std::uintptr_t kDevice = std::uintptr_t{7} << 16;
constexpr std::intptr_t kReadyStatus = std::intptr_t{(2 << 5) | (2 << 2)} << 16;

void postPulse(bool on) {
    postSensorEvent(kSensorMessage, kDevice | (on ? kPulseBit : 0), kReadyStatus);
}

// After a reset the first rise of the pulse signal is no beat: one rise and fall arm it.
void armPulse() {
    postPulse(true);
    postPulse(false);
    drainEvents();
}

void restartSessionIfEnding(std::size_t& seen) {
    if (gui.session.cyclesLeft <= 2 || gui.inMenu) {
        startSession();
        seen = 0;
    }
}

// The message is posted right before the loop drains the queue: the least delay possible.
void benchLatencyImmediate(const Options& o) {
    startFullSession(0, 1);
    clearTickOverride();
    armPulse();
    std::vector<double> decoded, stepped;
    std::size_t seen = gui.session.beatIntervals.size();
    for (int i = 0; i < o.beats; ++i) {
        postPulse(false); // arms the next rising edge
        drainEvents();
        advanceAndDrawFrame();
        glFinish();
        restartSessionIfEnding(seen);
        seen = gui.session.beatIntervals.size();

        const auto posted = Clock::now();
        postPulse(true);
        drainEvents();
        const auto afterDrain = Clock::now();
        advanceAndDrawFrame();
        glFinish();
        const auto afterFrame = Clock::now();
        if (gui.session.beatIntervals.size() != seen + 1) {
            std::fprintf(stderr, "halvent_bench: a posted beat did not step the pacer\n");
            std::exit(1);
        }
        seen = gui.session.beatIntervals.size();
        decoded.push_back(msSince(posted, afterDrain));
        stepped.push_back(msSince(posted, afterFrame));
    }
    addRow("sensor message -> decoded (posted just before the loop drains)", summarise(decoded),
           "pollEvent + dispatchEvent");
    addRow("sensor message -> frame with the pacer step drawn (same)", summarise(stepped),
           "+ advanceAndDrawFrame + glFinish");
}

// A worker thread posts beats at random moments while the loop runs, as brix does; the delay
// includes the wait for the frame in progress to end. The loop swaps and paces as the program.
void benchLatencyThreaded(const Options& o, const std::string& label, double periodMs) {
    startFullSession(0, 1);
    clearTickOverride();
    armPulse();
    std::atomic<std::int64_t> postedAt{0};
    std::atomic<bool> consumed{true};
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        std::mt19937 random(12345);
        std::uniform_int_distribution<int> jitterUs(0, 20000);
        for (int i = 0; i < o.beats && !stop; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(1000 + jitterUs(random)));
            consumed = false;
            postedAt = Clock::now().time_since_epoch().count();
            postPulse(true);
            // A beat the loop never counts would stall the run: give up on it after a second.
            const auto giveUp = Clock::now() + std::chrono::seconds(1);
            while (!consumed && !stop && Clock::now() < giveUp)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            postPulse(false);
        }
    });

    // The program's own loop: wait for the frame's time or an event, draw when the picture
    // changes, swap; the delay runs to the end of the swap that shows the step.
    std::vector<double> delays;
    std::size_t seen = gui.session.beatIntervals.size();
    const auto deadline = Clock::now() + std::chrono::seconds(120);
    while (static_cast<int>(delays.size()) < o.beats && Clock::now() < deadline) {
        drainEvents();
        Event event;
        if (!waitForFrame(event)) {
            if (event.kind != Event::Kind::None) dispatchEvent(event);
            continue;
        }
        if (!runFrame()) continue;
        swapWindowBuffers();
        glFinish();
        if (gui.session.beatIntervals.size() != seen) {
            const auto now = Clock::now();
            const Clock::time_point posted{Clock::duration{postedAt.load()}};
            delays.push_back(msSince(posted, now));
            seen = gui.session.beatIntervals.size();
            restartSessionIfEnding(seen);
            consumed = true;
        }
    }
    stop = true;
    poster.join();
    drainEvents();
    const Summary d = summarise(delays);
    addRow("sensor message -> frame with the pacer step swapped, " + label, d,
           "posted from another thread at random moments");
    if (periodMs > 0)
        addFloorRow("heartbeat -> frame with the pacer step, " + label + ": median (p99)",
                    ms(d.median) + " (" + ms(d.p99) + ")", "", d.median / periodMs,
                    "<= 1 frame median, 2 frames p99; ratio here: median in frames, p99 " +
                        std::to_string(d.p99 / periodMs).substr(0, 4) + " frames");
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--frames" && hasValue)
            o.frames = std::atoi(argv[++i]);
        else if (arg == "--warmup" && hasValue)
            o.warmup = std::atoi(argv[++i]);
        else if (arg == "--graph-beats" && hasValue)
            o.graphBeats = std::atoi(argv[++i]);
        else if (arg == "--beats" && hasValue)
            o.beats = std::atoi(argv[++i]);
        else if (arg == "--out" && hasValue)
            o.out = argv[++i];
        else if (arg == "--floor-out" && hasValue)
            o.floorOut = argv[++i];
        else if (arg == "--frames-dir" && hasValue)
            o.framesDir = argv[++i];
        else if (arg == "--renderer")
            o.rendererOnly = true;
        else {
            std::fprintf(stderr, "usage: halvent_bench [--frames N] [--warmup N] [--graph-beats N] "
                                 "[--beats N] [--out FILE] [--floor-out FILE] [--frames-dir DIR] "
                                 "[--renderer]\n");
            return 2;
        }
    }
    if (o.frames < 1 || o.beats < 1 || o.warmup < 0 || o.graphBeats < 0) {
        std::fprintf(stderr, "halvent_bench: counts must be positive\n");
        return 2;
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("HALVENT_NO_DIALOGS", "1", 1);
    // Interrupting the bench ends it, instead of becoming a quit message that stalls the loop.
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
    if (o.rendererOnly) {
        WindowOptions options;
        options.hidden = true;
        if (createMainWindow(options) != WindowResult::Ok) return 1;
        std::printf("%s, OpenGL %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                    reinterpret_cast<const char*>(glGetString(GL_VERSION)));
        shutdownPlatform();
        return 0;
    }
    makeWorkingFolder();

    std::printf(
        "| In process (offscreen context, 800 x 600) | median ms | p99 ms | max ms | n | |\n"
        "|---|---:|---:|---:|---:|---|\n");
    const StartUp first = openProgramWindow(0);
    addRow("start-up: window and OpenGL context",
           Summary{first.window, first.window, first.window, 1}, "first in the process");
    addRow("start-up: buildUserInterface", Summary{first.build, first.build, first.build, 1},
           "textures, menu, settings, bitmap font");
    benchFrames(o);
    benchLatencyImmediate(o);
    benchLatencyThreaded(o, "unpaced loop", 0.0);
    destroyMainWindow();

    openProgramWindow(60);
    benchLatencyThreaded(o, "loop paced at 60 frames/s", 1000.0 / 60.0);
    destroyMainWindow();
    shutdownPlatform();
    std::printf("\n");
    for (const auto& line : ratioLines)
        std::printf("%s\n", line.c_str());

    removeWorkingFolder();

    if (!o.floorOut.empty()) {
        std::ofstream out(o.floorOut);
        for (const auto& row : floorRows)
            out << row << "\n";
    }
    for (const auto& row : floorRows)
        std::printf("%s\n", row.c_str());
    if (!o.out.empty()) {
        std::ofstream out(o.out);
        out << "| In process (offscreen context, 800 x 600) | median ms | p99 ms | max ms | n | |\n"
               "|---|---:|---:|---:|---:|---|\n";
        for (const auto& row : tableRows)
            out << row << "\n";
        out << "\n";
        for (const auto& line : ratioLines)
            out << line << "\n";
        if (!out) {
            std::fprintf(stderr, "halvent_bench: cannot write %s\n", o.out.c_str());
            return 1;
        }
    }
    return 0;
}

// halvent: set-up, the frame loop, and the end of the program.
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/frame_schedule.hpp"
#include "app/program_frame.hpp"
#include "app/resonance_formula.hpp"
#include "app/resonance_test_run.hpp"
#include "app/shell.hpp"
#include "brix.h"
#include "gui/gui.hpp"
#include "platform/command_line.hpp"
#include "platform/console.hpp"
#include "platform/cp1251.hpp"
#include "platform/end_signals.hpp"
#include "platform/events.hpp"
#include "platform/message_box.hpp"
#include "platform/process_memory.hpp"
#include "platform/sound.hpp"
#include "platform/window.hpp"
#include "training/formula_text.hpp"
#include "training/resonance_stages.hpp"
#include "training/session_record.hpp"
#include "training/sound_cues.hpp"

namespace {

const char* kUsage =
    "Usage: halvent [--windowed] [--mode-switch] [--fps N] [--sensor SOURCE]\n"
    "              [--record DIR | --no-record] [--resonance | --formula I-P-E-P|resonance]\n"
    "              [--help] [--version]\n"
    "\n"
    "A breathing trainer with biofeedback: breathe along with a pacer that moves one step\n"
    "per heartbeat of the sensor device (by default a simulated device with a pulse of 60).\n"
    "\n"
    "  --windowed     an 800 x 600 window, which may be resized, instead of full screen\n"
    "  --mode-switch  full screen in an 800 x 600 display mode where the display has one\n"
    "                 (by default full screen keeps the desktop's mode)\n"
    "  --fps N        draw N frames a second (default: the display's refresh rate);\n"
    "                 0 draws as fast as possible, for benchmarks\n"
    "  --sensor SOURCE  where the heartbeats come from (default: simulated, or the\n"
    "                 environment variable HALVENT_SENSOR):\n"
    "                   simulated         a device with a steady pulse of 60/min\n"
    "                   replay:FILE       a recording of beat-to-beat intervals, played once\n"
    "                   replay:FILE:loop  the same, played over and over\n"
    "                   ble               the first Bluetooth LE heart-rate strap found\n"
    "                   ble:AA:BB:CC:DD:EE:FF  that strap\n"
    "                 FILE: one interval a line in ms or s, a CSV with an rr/ibi column,\n"
    "                 or a heart-rate-monitor .hrm file\n"
    "  --record DIR   keep a record of every session in DIR (a CSV of its beats and a\n"
    "                 summary); also HALVENT_RECORD=DIR. --no-record or HALVENT_RECORD=off\n"
    "                 turns it off\n"
    "  --resonance    find your breathing rate: five stages of two minutes on the training\n"
    "                 screen, at 6.5, 6.0, 5.5, 5.0 and 4.5 breaths a minute, each paced in\n"
    "                 beats from your heart rate; the rate at which your heart rate swings\n"
    "                 most wins and is kept in ./resonance.json (and beside the records)\n"
    "  --formula I-P-E-P  start with this formula: inhale, pause, exhale, pause in beats,\n"
    "                 e.g. 4-0-6-0 (0..99 each, inhale and exhale at least 1)\n"
    "  --formula resonance  train at the rate ./resonance.json names, its formula worked\n"
    "                 out again from your heart rate before each session\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "Keys: Space starts a session, Enter halts it and shows the menu, Esc quits. During\n"
    "--resonance, Space starts the stage over and Enter ends the test without a result.\n"
    "SIGTERM, SIGINT and SIGHUP end it like Esc, saving the settings.\n"
    "Images and sounds are read from ./img/ and the settings are kept in ./menu.cfg,\n"
    "both in the working directory.\n";

struct Options {
    WindowOptions window;
    std::optional<std::string> sensor; // --sensor, when given
    std::string recordFolder;          // empty: sessions are not recorded
    bool resonanceTest = false;        // --resonance
    double stageSeconds = kResonanceStageSeconds;
    std::optional<BreathFormula> formula;     // --formula I-P-E-P
    std::optional<TrainingRate> trainingRate; // --formula resonance, as the result file has it
};

// --formula's value: a formula, or "resonance" for the rate of the result file. False after
// one line for the user when it is neither. A result file that cannot give a rate is told in
// one line and the program starts with the menu's own formula: the launcher asks for the
// rate whenever the file is there, and a damaged file must not keep the program from starting.
bool parseFormulaOption(const std::string& value, Options& options) {
    options.formula.reset(); // the last --formula counts
    options.trainingRate.reset();
    if (value == "resonance") {
        std::string error;
        options.trainingRate = readTrainingRate(kResonanceResultFile, error);
        if (!options.trainingRate)
            tellUser(ConsoleLine::Problem, "halvent: --formula resonance: " + error +
                                               "; training with the menu's formula (find your "
                                               "rate with --resonance)");
        return true;
    }
    options.formula = parseFormula(value);
    if (!options.formula)
        tellUser(ConsoleLine::Problem,
                 "halvent: --formula takes I-P-E-P (beats of inhale, pause, exhale, pause, "
                 "0..99, inhale and exhale at least 1, e.g. 4-0-6-0) or resonance, not '" +
                     value + "'");
    return options.formula.has_value();
}

// Parses the command line (UTF-8); returns false (after saying why) when the program should
// stop.
bool parseOptions(const std::vector<std::string>& args, Options& options, int& exitCode) {
    const std::size_t count = args.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            tellUser(ConsoleLine::Information, kUsage);
            exitCode = 0;
            return false;
        }
        if (arg == "--version") {
            tellUser(ConsoleLine::Information, std::string("halvent ") + HALVENT_VERSION);
            exitCode = 0;
            return false;
        }
        if (arg == "--record") {
            options.recordFolder = i + 1 < count ? args[++i] : "";
            if (options.recordFolder.empty()) {
                tellUser(ConsoleLine::Problem, "halvent: --record takes a folder");
                exitCode = 2;
                return false;
            }
            continue;
        }
        if (arg == "--no-record") {
            options.recordFolder.clear();
            continue;
        }
        if (arg == "--resonance") {
            options.resonanceTest = true;
            continue;
        }
        if (arg == "--formula") {
            if (!parseFormulaOption(i + 1 < count ? args[++i] : "", options)) {
                exitCode = 2;
                return false;
            }
            continue;
        }
        if (arg == "--resonance-stage-seconds") {
            // For tests: shorter stages than two minutes.
            const std::string value = i + 1 < count ? args[++i] : "";
            char* end = nullptr;
            const long seconds = std::strtol(value.c_str(), &end, 10);
            if (end == value.c_str() || *end != '\0' || seconds < 1 || seconds > 3600) {
                tellUser(ConsoleLine::Problem,
                         "halvent: --resonance-stage-seconds takes a number from 1 to 3600");
                exitCode = 2;
                return false;
            }
            options.stageSeconds = static_cast<double>(seconds);
            continue;
        }
        if (arg == "--windowed") {
            options.window.windowed = true;
        } else if (arg == "--mode-switch") {
            options.window.modeSwitch = true;
        } else if (arg == "--fps") {
            // A missing or empty value is as wrong as any other that is not a number.
            const std::string value = i + 1 < count ? args[++i] : "";
            char* end = nullptr;
            const long fps = std::strtol(value.c_str(), &end, 10);
            if (end == value.c_str() || *end != '\0' || fps < 0 || fps > 1000) {
                tellUser(ConsoleLine::Problem, "halvent: --fps takes a number from 0 to 1000");
                exitCode = 2;
                return false;
            }
            options.window.fps = static_cast<int>(fps);
        } else if (arg == "--sensor" && i + 1 < count) {
            options.sensor = args[++i];
        } else {
            tellUser(ConsoleLine::Problem, "halvent: unknown option '" + arg + "'\n" + kUsage);
            exitCode = 2;
            return false;
        }
    }
    if (options.resonanceTest && (options.formula || options.trainingRate)) {
        tellUser(ConsoleLine::Problem,
                 "halvent: --resonance finds the formula itself; leave out --formula");
        exitCode = 2;
        return false;
    }
    return true;
}

// Hands the chosen sensor source to the link (the option wins over HALVENT_SENSOR); false
// after one line for the user when the name or the recording is bad.
bool chooseSensor(const Options& options) {
    const char* chosen = options.sensor ? options.sensor->c_str() : std::getenv("HALVENT_SENSOR");
    if (chosen == nullptr || (!options.sensor && *chosen == '\0'))
        return true; // the simulated device; an empty variable counts as unset
    char error[512];
    if (BrixChooseSource(chosen, error, sizeof error)) return true;
    tellUser(ConsoleLine::Problem,
             std::string("halvent: ") + (options.sensor ? "" : "HALVENT_SENSOR: ") + error);
    return false;
}

// The text of the box for an OpenGL set-up step that failed.
const char* setupFailureText(WindowResult result) {
    switch (result) {
    case WindowResult::NoPixelFormat: return "Can't find suitable PixelFormat";
    case WindowResult::SetPixelFormat: return "Can't set The PixelFormat";
    case WindowResult::CreateContext: return "Can't Create Render Device Context";
    case WindowResult::MakeCurrent: return "Can't set current Render Device Context";
    default: return nullptr;
    }
}

} // namespace

int main(int argc, char** argv) {
    // --- set-up ---
    returnLargeFreedBlocks();
    Options options;
    if (const char* record = std::getenv("HALVENT_RECORD"); record && std::strcmp(record, "off"))
        options.recordFolder = record;
    int exitCode = 0;
    if (!parseOptions(commandLineArguments(argc, argv), options, exitCode)) return exitCode;
    if (!chooseSensor(options)) return 2;

    catchEndSignals(); // logout, Ctrl+C and a closed terminal end the program in order
    setDisplayLostHandler(shutdownWithoutDisplay);
    setWindowProcedure(windowProc);
    const WindowResult created = createMainWindow(options.window);
    if (created == WindowResult::NoVideo || created == WindowResult::WindowFailed) {
        tellUser(ConsoleLine::Problem,
                 std::string("halvent: cannot open the window (") +
                     (created == WindowResult::NoVideo ? "no display" : "window creation failed") +
                     "). Is a display available? Set DISPLAY, or run it under Xvfb.");
        return 0;
    }
    sessionRecorder.setFolder(options.recordFolder); // an unwritable folder: one line, unrecorded
    bool audioWanted = false; // the sound device opens once the first picture is up
    if (const char* failure = setupFailureText(created)) {
        showMessageBox(failure, "Error", MessageBoxButtons::Ok, MessageBoxIcon::Error);
        postQuit(0);
    } else {
        int width = 800, height = 600;
        windowClientSize(width, height);
        resizeViewport(width, height);
        onWindowCreated(width, height);
        audioWanted = true;
        // After the menu was built: it sets the start-up goal's formula.
        if (options.formula) gui.session.phaseBeats = *options.formula;
        if (options.trainingRate)
            trainAtRate(options.trainingRate->breathsPerMinute, options.trainingRate->formula);
        if (options.resonanceTest) beginResonanceTest(options.stageSeconds);
    }
    enterFullscreenMode();
    mainWindow = mainWindowHandle();

    // --- frame loop: drain the queue, wait for the frame's time (or an event), advance, and
    // draw and swap when the picture changed ---
    for (;;) {
        Event event;
        while (pollEvent(event))
            dispatchEvent(event);
        if (quitRequested()) break;
        if (!waitForFrame(event)) {
            if (event.kind != Event::Kind::None) dispatchEvent(event);
            continue;
        }
        if (quitRequested()) break;
        if (!runFrame()) continue;
        swapWindowBuffers();
        if (audioWanted) {
            openAudio();   // without a device the program runs silently
            applyVolume(); // what is heard matches the level the options page shows
            audioWanted = false;
        }
    }

    // --- end ---
    closeAudio();
    shutdownPlatform();
    return 1;
}

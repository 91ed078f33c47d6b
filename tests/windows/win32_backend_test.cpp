// The Win32 backend under a real (or emulated) Windows: posted sensor messages, input, the
// bitmap font, the sound commands through a recording stand-in, and file replacement.
#include <gtest/gtest.h>

#include "platform/win32/mci_output.hpp"
#include "platform/win32/win32_shared.hpp"

#include <GL/gl.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/settings.hpp"
#include "brix.h"
#include "os/post_message.hpp"
#include "platform/bitmap_font.hpp"
#include "platform/events.hpp"
#include "platform/mapped_file.hpp"
#include "platform/sound.hpp"
#include "platform/ticks.hpp"
#include "platform/window.hpp"
#include "support/test_support.hpp"
#include "training/sound_cues.hpp"

namespace {

std::vector<Event> pumpFor(std::chrono::milliseconds span) {
    std::vector<Event> events;
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        Event event;
        while (pollEvent(event)) events.push_back(event);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return events;
}

std::vector<Event> sensorEvents(const std::vector<Event>& events) {
    std::vector<Event> out;
    for (const Event& e : events)
        if (e.kind == Event::Kind::Sensor) out.push_back(e);
    return out;
}

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

// brix.dll posts with PostMessage from its worker; the window procedure turns the messages,
// and the keys and clicks Windows delivers, into the program's events.
TEST(Win32Window, SensorMessagesAndInputReachTheProgram) {
    WindowOptions options;
    options.windowed = true;
    options.hidden = true;
    options.fps = 0;
    ASSERT_EQ(createMainWindow(options), WindowResult::Ok);
    const auto window = static_cast<HWND>(mainWindowHandle());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(hasCurrentGlContext());

    ASSERT_TRUE(BrixOpen(window, 2024));
    EXPECT_FALSE(BrixOpen(window, 2024)) << "a second open while the link runs";
    const auto received = sensorEvents(pumpFor(std::chrono::milliseconds(1250)));
    ASSERT_TRUE(BrixClose());
    ASSERT_GE(received.size(), 2u);
    for (const Event& e : received) EXPECT_EQ(e.message, 2024u);
    // The pattern's first two steps: nothing on, then the pulse rises; both sensors ready.
    EXPECT_EQ(received[0].wParam, 0x10000u);
    EXPECT_EQ(received[0].lParam, 0x490000);
    EXPECT_EQ(received[1].wParam, 0x10002u | (1000u << 3)) << "the rise carries its 1000 ms";
    EXPECT_EQ(received[1].lParam, 0x590000);
    pumpFor(std::chrono::milliseconds(20)); // a message posted just before the close
    EXPECT_TRUE(sensorEvents(pumpFor(std::chrono::milliseconds(700))).empty())
        << "no message after BrixClose";

    // A message that stands for an earlier moment is stamped with that moment, on the tick's
    // clock, and reaches the program without the lateness it carried.
    const auto due = std::chrono::steady_clock::now() - std::chrono::milliseconds(300);
    const std::uint32_t postedAt = tickMs();
    ASSERT_TRUE(brix::postSensorMessageDue(window, 2024, 0x10002, 0x590000, due));
    const auto stamped = sensorEvents(pumpFor(std::chrono::milliseconds(30)));
    ASSERT_EQ(stamped.size(), 1u);
    EXPECT_EQ(stamped[0].lParam, 0x590000);
    EXPECT_NEAR(static_cast<double>(postedAt - stamped[0].tick), 300.0, 40.0);

    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0x10001);
    PostMessageA(window, WM_KEYDOWN, 'A', 0);
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(799, 599));
    PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(-3), 7));
    PostMessageA(window, WM_CLOSE, 0, 0);
    const auto input = pumpFor(std::chrono::milliseconds(50));
    ASSERT_EQ(input.size(), 5u);
    EXPECT_EQ(input[0].kind, Event::Kind::KeyDown);
    EXPECT_EQ(input[0].key, kKeyEscape);
    EXPECT_EQ(input[1].key, 0) << "keys other than Enter, Space and Esc are not the program's";
    EXPECT_EQ(input[2].kind, Event::Kind::LeftButton);
    EXPECT_EQ(input[2].x, 799);
    EXPECT_EQ(input[2].y, 599);
    EXPECT_EQ(input[3].x, -3) << "client coordinates are signed";
    EXPECT_EQ(input[4].kind, Event::Kind::Close);
    EXPECT_NE(mainWindowHandle(), nullptr) << "a close request leaves the window to the program";

    // The bitmap font: the face or the system's Cyrillic substitute, 255 lists from 1000.
    const BitmapFontRequest font{"DadiDiva", 60, 300, 1000, 255};
    EXPECT_TRUE(buildBitmapFont(font));
    EXPECT_TRUE(glIsList(1000 + 'A'));
    EXPECT_TRUE(glIsList(1000 + 0xC0)) << "the Cyrillic capital A of CP1251";
    EXPECT_FALSE(glIsList(1255));

    // A window taken away by someone else ends the program in order: one close, once.
    EXPECT_FALSE(win32::windowLost());
    DestroyWindow(window);
    const auto afterLoss = pumpFor(std::chrono::milliseconds(30));
    ASSERT_EQ(afterLoss.size(), 1u);
    EXPECT_EQ(afterLoss[0].kind, Event::Kind::Close);
    EXPECT_TRUE(win32::windowLost());

    destroyMainWindow();
    EXPECT_FALSE(hasCurrentGlContext());
    EXPECT_EQ(mainWindowHandle(), nullptr);
    clearQuit();
}

// A stand-in for the multimedia system that records the command strings and plays nothing;
// a device "plays" from its play command until the test stops it.
class RecordingMci final : public win32::MciOutput {
public:
    unsigned devices = 1;
    std::vector<std::string> commands;
    std::set<std::string> playing;
    std::vector<std::uint32_t> volumes;

    unsigned deviceCount() override { return devices; }
    unsigned send(const std::string& command, std::string& reply) override {
        commands.push_back(command);
        const auto word = [&](std::size_t index) {
            std::size_t start = 0;
            for (std::size_t i = 0; i < index; ++i) start = command.find(' ', start) + 1;
            return command.substr(start, command.find(' ', start) - start);
        };
        if (command.starts_with("open ")) {
            const auto first = command.find('"') + 1;
            const std::string path = command.substr(first, command.find('"', first) - first);
            return std::ifstream(path) ? 0u : 275u; // MCIERR_FILE_NOT_FOUND
        }
        if (command.starts_with("status ")) reply = playing.count(word(1)) ? "playing" : "stopped";
        if (command.starts_with("play ")) playing.insert(word(1));
        if (command.starts_with("close ")) playing.erase(word(1));
        return 0;
    }
    bool setVolume(std::uint32_t bothChannels) override {
        volumes.push_back(bothChannels);
        return true;
    }
};

// The program's cues become MCI command strings: one device per file, a play of a file that
// still sounds is ignored, different files overlap; the volume is one level for both channels.
TEST(Win32Sound, CuesBecomeCommandStringsWithOneVoicePerFile) {
    ScratchDirectory folder;
    std::filesystem::create_directories("img");
    for (const char* name : {"img/1.wav", "img/2.wav", "img/we \"quote\".wav"})
        std::ofstream(name) << "RIFF";
    RecordingMci mci;
    win32::setMciOutput(&mci);
    ASSERT_TRUE(openAudio());

    playCue("play ./img/1.wav");
    ASSERT_EQ(mci.commands.size(), 3u);
    const std::string opened = mci.commands[0];
    ASSERT_TRUE(opened.starts_with("open \"./img/1.wav\" type waveaudio alias ")) << opened;
    const std::string alias = opened.substr(opened.rfind(' ') + 1);
    EXPECT_EQ(mci.commands[1], "status " + alias + " mode");
    EXPECT_EQ(mci.commands[2], "play " + alias + " from 0");

    mci.commands.clear();
    playCue("play ./img/1.wav"); // still sounding
    EXPECT_EQ(mci.commands, std::vector<std::string>{"status " + alias + " mode"});
    playCue("play ./img/2.wav");
    EXPECT_EQ(soundingVoices(), 2);
    mci.playing.clear(); // both ended
    mci.commands.clear();
    playCue("play ./img/1.wav"); // the device is kept and plays again from the start
    EXPECT_EQ(mci.commands.back(), "play " + alias + " from 0");
    EXPECT_EQ(mci.commands.size(), 2u);

    mci.commands.clear();
    EXPECT_FALSE(playWaveFile("./img/missing.wav"));
    EXPECT_FALSE(playWaveFile("./img/we \"quote\".wav")) << "a quote would end the name early";
    EXPECT_EQ(mci.commands.size(), 1u) << "only the missing file's open was sent";

    EXPECT_TRUE(setMasterVolume(0x1234));
    EXPECT_TRUE(setMasterVolume(70000));
    EXPECT_EQ(mci.volumes, (std::vector<std::uint32_t>{0x12341234u, 0xFFFFFFFFu}));

    mci.commands.clear();
    closeAudio();
    EXPECT_EQ(mci.commands.size(), 2u) << "each opened device is closed";
    EXPECT_FALSE(playWaveFile("./img/1.wav"));

    mci.devices = 0; // no wave output: the program runs silently, nothing is sent
    mci.commands.clear();
    EXPECT_FALSE(openAudio());
    EXPECT_FALSE(setMasterVolume(100));
    EXPECT_TRUE(mci.commands.empty());
    win32::setMciOutput(nullptr);
}

// Windows' rename refuses an existing target: saving twice must still replace the file; a
// read-only file stays; a mapped file reads what was written.
TEST(Win32Files, SettingsAreReplacedAndMappedBack) {
    ScratchDirectory folder;
    std::memcpy(settingsBuffer, "10100000", 9);
    saveSettings();
    std::memcpy(settingsBuffer, "00101000", 9);
    saveSettings();
    EXPECT_EQ(readFile("menu.cfg"), "00101000");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1)
        << "no temporary file is left behind";

    // A file the user made read-only is left as it is.
    SetFileAttributesA("menu.cfg", FILE_ATTRIBUTE_READONLY);
    std::memcpy(settingsBuffer, "11111000", 9);
    saveSettings();
    SetFileAttributesA("menu.cfg", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(readFile("menu.cfg"), "00101000");

    const auto mapped = MappedFile::open("menu.cfg");
    ASSERT_TRUE(mapped.has_value());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped->data()), mapped->size()),
              "00101000");
    std::ofstream("empty.bin").flush();
    const auto empty = MappedFile::open("empty.bin");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->size(), 0u);
    EXPECT_FALSE(MappedFile::open("missing.bin").has_value());
    EXPECT_FALSE(MappedFile::open(".").has_value()) << "a folder is not a file";
}

// What the mixer really writes: SDL's disk driver records the output as raw 16-bit stereo.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.hpp"
#include "support/test_support.hpp"
#include "training/sound_cues.hpp"

namespace {

constexpr int kFramesPerSecond = 44100;

struct Frame {
    std::int16_t left, right;
};

// Opens the disk driver, lets `leadIn` of silence pass, plays `command`, records `tail` more.
std::vector<Frame> recordCue(const std::string& command, std::chrono::milliseconds leadIn,
                             std::chrono::milliseconds tail, std::uint32_t level, bool setLevel) {
    ScratchDirectory scratch;
    const std::string file = (scratch.path() / "out.raw").string();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    if (!openAudio()) return {};
    if (setLevel) setMasterVolume(level);
    std::this_thread::sleep_for(leadIn);
    playCue(command.c_str());
    std::this_thread::sleep_for(tail);
    closeAudio();

    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    std::vector<Frame> frames(bytes.size() / sizeof(Frame));
    std::copy_n(bytes.data(), frames.size() * sizeof(Frame),
                reinterpret_cast<char*>(frames.data()));
    return frames;
}

std::string playOf(const char* name) {
    return "play " + (testdataDir() / "wav" / name).string();
}

std::size_t firstSoundingFrame(const std::vector<Frame>& frames) {
    const auto it = std::find_if(frames.begin(), frames.end(),
                                 [](const Frame& f) { return f.left != 0 || f.right != 0; });
    return static_cast<std::size_t>(it - frames.begin());
}

int peak(const std::vector<Frame>& frames, bool left) {
    int top = 0;
    for (const Frame& f : frames)
        top = std::max(top, std::abs(left ? f.left : f.right));
    return top;
}

using std::chrono::milliseconds;

TEST(SoundOutput, ACueSoundsWhereItWasPlayedAndNotBefore) {
    // A 51 ms stereo tone with peaks of 10000.
    const auto frames = recordCue(playOf("wavefile/valid/stereo_pcm_16_44100.wav"),
                                  milliseconds(400), milliseconds(400), 0, false);
    ASSERT_GT(frames.size(), static_cast<std::size_t>(kFramesPerSecond / 4))
        << "no output recorded";
    const std::size_t start = firstSoundingFrame(frames);
    ASSERT_LT(start, frames.size()) << "the cue never sounded";
    // Silence through the lead-in (the disk driver writes at about real time, slower when busy).
    EXPECT_GT(start, static_cast<std::size_t>(kFramesPerSecond / 10));
    const std::vector<Frame> cue(
        frames.begin() + static_cast<std::ptrdiff_t>(start),
        frames.begin() +
            static_cast<std::ptrdiff_t>(std::min(frames.size(), start + kFramesPerSecond / 10)));
    EXPECT_GT(peak(cue, true), 5000);
    EXPECT_GT(peak(cue, false), 5000);
}

TEST(SoundOutput, TheMasterLevelReachesBothChannels) {
    const auto silent = recordCue(playOf("wavefile/valid/stereo_pcm_16_44100.wav"),
                                  milliseconds(100), milliseconds(300), 0, true);
    ASSERT_FALSE(silent.empty());
    EXPECT_EQ(peak(silent, true), 0);
    EXPECT_EQ(peak(silent, false), 0);

    const auto full = recordCue(playOf("wavefile/valid/stereo_pcm_16_44100.wav"), milliseconds(100),
                                milliseconds(300), 65535, true);
    const auto half = recordCue(playOf("wavefile/valid/stereo_pcm_16_44100.wav"), milliseconds(100),
                                milliseconds(300), 32765, true);
    ASSERT_GT(peak(full, true), 5000);
    for (bool left : {true, false}) {
        const double ratio = static_cast<double>(peak(half, left)) / peak(full, left);
        EXPECT_NEAR(ratio, 0.5, 0.05) << (left ? "left" : "right");
    }
}

TEST(SoundOutput, MissingFilesLeaveTheOutputSilent) {
    const auto frames =
        recordCue("play ./img/no-such-cue.wav", milliseconds(100), milliseconds(200), 0, false);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(firstSoundingFrame(frames), frames.size());
}

} // namespace

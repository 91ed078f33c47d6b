// Sound cues and the volume steppers: command parsing, one voice per file, the volume ladder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "gui/gui.hpp"
#include "platform/cp1251.hpp"
#include "platform/sound.hpp"
#include "support/test_support.hpp"
#include "training/sound_cues.hpp"

namespace {

std::string wav(const char* name) {
    return (testdataDir() / "wav" / name).string();
}

// The dummy driver consumes the output in real time without a sound card.
class DummyAudio : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_TRUE(openAudio());
    }
    void TearDown() override { closeAudio(); }
};

TEST_F(DummyAudio, OnlyPlayCommandsSound) {
    std::vector<std::string> seen;
    setCueObserver([&](const std::string& command) { seen.push_back(command); });
    const std::string file = wav("sfml/killdeer.wav");

    playCue(("stop " + file).c_str());
    playCue("play");
    playCue("player ./img/1.wav");
    playCue("");
    playCue(nullptr);
    EXPECT_EQ(soundingVoices(), 0);

    playCue(("  PLAY \"" + file + "\"  ").c_str());
    EXPECT_EQ(soundingVoices(), 1);
    setCueObserver(nullptr);
    EXPECT_EQ(seen.size(), 5u) << "the observer sees every command but the null one";
}

TEST_F(DummyAudio, AStillSoundingFileIsNotStartedAgainButOthersOverlap) {
    const std::string longFile = wav("sfml/killdeer.wav"); // about five seconds
    EXPECT_TRUE(playWaveFile(longFile));
    EXPECT_TRUE(playWaveFile(longFile));
    EXPECT_EQ(soundingVoices(), 1);
    EXPECT_TRUE(playWaveFile(wav("wavefile/valid/mono_pcm_16_44100.wav")));
    EXPECT_EQ(soundingVoices(), 2);
}

TEST_F(DummyAudio, AFileThatHasEndedPlaysAgain) {
    const std::string shortFile = wav("wavefile/valid/stereo_pcm_16_44100.wav"); // 51 ms
    ASSERT_TRUE(playWaveFile(shortFile));
    for (int waited = 0; waited < 2000 && soundingVoices() > 0; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(soundingVoices(), 0);
    EXPECT_TRUE(playWaveFile(shortFile));
    EXPECT_EQ(soundingVoices(), 1);
}

TEST_F(DummyAudio, MissingAndBrokenFilesFailSilently) {
    EXPECT_FALSE(playWaveFile("./img/no-such-sound.wav"));
    EXPECT_FALSE(playWaveFile(""));
    for (const char* broken :
         {"empty.wav", "bad_riff_header.wav", "incomplete_riff_header.wav", "no_data_chunk.wav",
          "insufficient_format_chunk.wav", "riff_chunk_has_incomplete_chunk_size.wav"})
        EXPECT_FALSE(playWaveFile(wav("wavefile/invalid/") + broken)) << broken;
    // The rest of the broken and unsupported files may be refused or played; never a crash.
    for (const char* folder : {"wavefile/invalid", "wavefile/unsupported"})
        for (const auto& entry :
             std::filesystem::directory_iterator(testdataDir() / "wav" / folder))
            playWaveFile(entry.path().string());
    playCue("play ./img/missing.wav");
    // Every valid file plays.
    for (const auto& entry :
         std::filesystem::directory_iterator(testdataDir() / "wav/wavefile/valid"))
        if (entry.path().filename() != "no_samples.wav")
            EXPECT_TRUE(playWaveFile(entry.path().string())) << entry.path();
}

TEST(NoAudioDevice, PlayingAndTheLevelReportFailure) {
    closeAudio();
    EXPECT_FALSE(audioAvailable());
    EXPECT_FALSE(playWaveFile(wav("sfml/killdeer.wav")));
    EXPECT_FALSE(setMasterVolume(32765));
    EXPECT_EQ(soundingVoices(), 0);
}

TEST(VolumeWords, TenPercentSteps) {
    EXPECT_STREQ(volumeWord(0), "   0%");
    EXPECT_STREQ(volumeWord(6552), "   0%");
    EXPECT_STREQ(volumeWord(6553), "   10%");
    EXPECT_STREQ(volumeWord(32765), "   50%");
    EXPECT_STREQ(volumeWord(65530), "  100%");
    EXPECT_STREQ(volumeWord(65535), "  100%");
    EXPECT_STREQ(volumeWord(-1), "");
    EXPECT_STREQ(volumeWord(72083), "");
}

// The options page's volume panel (index 3) and the steppers 5 ("-") and 6 ("+ ").
class VolumeSteppers : public ::testing::Test {
  protected:
    void SetUp() override {
        gui = Gui();
        gui.addPanel(0, 0.3f, 0.5f, 0.3f, 0.4f, 0, "", "");
        gui.addPanel(3, 0.3f, 0.7f, 0.35f, 0.12f, 1, "Громкость"_cp1251, "");
        for (int b = 0; b < 7; ++b)
            gui.addSmallButton(0.3f, 0.0f, 1, 0, 0, 0.1f, 0.05f, 1, "", nullptr, nullptr);
        setCueObserver([this](const std::string& command) { cues.push_back(command); });
    }
    void TearDown() override {
        setCueObserver(nullptr);
        closeAudio();
        gui = Gui();
    }
    // Presses a stepper as the click pass does (it inverts raised first).
    void press(std::uint32_t position) {
        gui.smallButtons[position].raised = 0;
        volumeStepClicked(position);
        EXPECT_EQ(gui.smallButtons[position].raised, 1);
        levels.push_back(gui.volume);
        words.push_back(gui.panels[1].status);
        EXPECT_DOUBLE_EQ(gui.panels[1].statusGreen, 1.0);
        EXPECT_DOUBLE_EQ(gui.panels[1].statusAlpha, 1.0);
    }
    std::vector<std::string> cues;
    std::vector<int> levels;
    std::vector<std::string> words;
};

TEST_F(VolumeSteppers, UpToTheTopAndDownToZeroWithoutADevice) {
    CapturedMessageBoxes boxes;
    for (int i = 0; i < 7; ++i)
        press(6);
    EXPECT_EQ(levels, (std::vector<int>{39318, 45871, 52424, 58977, 65530, 65535, 65535}));
    EXPECT_EQ(words, (std::vector<std::string>{"   60%", "   70%", "   80%", "   90%", "  100%",
                                               "  100%", "  100%"}));
    levels.clear();
    words.clear();
    for (int i = 0; i < 12; ++i)
        press(5);
    EXPECT_EQ(levels, (std::vector<int>{58982, 52429, 45876, 39323, 32770, 26217, 19664, 13111,
                                        6558, 5, 0, 0}));
    EXPECT_EQ(words,
              (std::vector<std::string>{"   90%", "   80%", "   70%", "   60%", "   50%", "   40%",
                                        "   30%", "   20%", "   10%", "   0%", "   0%", "   0%"}));

    // Every step, even at a limit, plays the inhale sound once and, with no device to set the
    // level on, says so once.
    EXPECT_EQ(cues, std::vector<std::string>(19, "play ./img/1.wav"));
    ASSERT_EQ(boxes.boxes().size(), 19u);
    EXPECT_EQ(boxes.boxes()[0].first, "Sounds not supported.");
    EXPECT_EQ(boxes.boxes()[0].second, "Error!");
}

TEST_F(VolumeSteppers, WithADeviceTheLevelIsSetQuietly) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(openAudio());
    CapturedMessageBoxes boxes;
    press(5);
    press(6);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(levels, (std::vector<int>{26212, 32765}));
    EXPECT_EQ(cues.size(), 2u);
}

} // namespace

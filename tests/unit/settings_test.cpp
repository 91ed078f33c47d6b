// The settings file: the reading rule, the written form, the atomic replace.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/settings.hpp"
#include "gui/gui.hpp"
#include "support/test_support.hpp"

namespace {

void writeFile(const char* path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        gui = Gui();
        std::memcpy(settingsBuffer, "00000000", 9);
        for (int i = 0; i < 17; ++i) gui.addSmallButton(0, 0, 1, 0, 0, 0.1f, 0.1f, 0, "", nullptr, nullptr);
    }
    void TearDown() override { gui = Gui(); }

    // The toggle rule of the menu build: '0' leaves a toggle unchecked, anything else checks it.
    static std::string checkedToggles() {
        std::string out;
        for (int k = 0; k < 5; ++k) out += settingsBuffer[k] == '0' ? '-' : 'x';
        return out;
    }

    ScratchDirectory scratch;
    CapturedMessageBoxes boxes;
};

TEST_F(Settings, MissingFileIsReportedOnceAndWrittenAtExit) {
    loadSettings();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].first, "File not found !!!");
    EXPECT_EQ(boxes.boxes()[0].second, "Error");
    EXPECT_EQ(checkedToggles(), "-----");
    saveSettings();
    EXPECT_EQ(readFile("menu.cfg"), "00000000");
}

TEST_F(Settings, ReadingRuleOfTheFirstLine) {
    struct Case {
        std::string content;
        std::string toggles;
    };
    const Case cases[] = {
        {"10100000", "x-x--"},
        {"1\n", "xxx--"}, // digit, line end, terminator
        {"", "-----"},
        {"00001\n11111", "----x"},
        {"0\n111", "-xx--"}, // only the first line counts
    };
    for (const Case& c : cases) {
        std::memcpy(settingsBuffer, "00000000", 9);
        writeFile("menu.cfg", c.content);
        loadSettings();
        EXPECT_EQ(checkedToggles(), c.toggles) << "content: " << c.content;
    }
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Settings, WrittenAsEightCharactersWithoutLineEnd) {
    writeFile("menu.cfg", "1\n");
    loadSettings();
    gui.smallButtons[0].raised = 0;
    gui.smallButtons[3].raised = 0;
    gui.smallButtons[5].raised = 1; // the volume "-" stepper always ends released
    saveSettings();
    const std::string saved = readFile("menu.cfg");
    EXPECT_EQ(saved, "10010000");
    EXPECT_EQ(saved.find('\n'), std::string::npos);
}

TEST_F(Settings, ReplacedAtomicallyWithNoTemporaryLeftBehind) {
    writeFile("menu.cfg", "11111000");
    struct stat before {};
    ASSERT_EQ(stat("menu.cfg", &before), 0);
    saveSettings();
    struct stat after {};
    ASSERT_EQ(stat("menu.cfg", &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino); // a new file was renamed over the old one
    EXPECT_EQ(readFile("menu.cfg"), "00000000");
    EXPECT_FALSE(std::ifstream("menu.cfg.tmp").good());
}

TEST_F(Settings, UnwritableFolderKeepsTheOldFileAndSaysSo) {
    writeFile("menu.cfg", "10000000");
    if (geteuid() == 0) {
        // Root may write anywhere: make the temporary name a folder so the write fails.
        mkdir("menu.cfg.tmp", 0755);
    } else {
        chmod(".", 0555);
    }
    gui.smallButtons[1].raised = 0;
    ::testing::internal::CaptureStderr();
    saveSettings();
    const std::string err = ::testing::internal::GetCapturedStderr();
    chmod(".", 0755);
    EXPECT_NE(err.find("cannot save the settings"), std::string::npos);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_EQ(readFile("menu.cfg"), "10000000");
}

} // namespace

// The settings file: the reading rule, the written form, the atomic replace.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

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
        {"1\r\n", "xxx--"},   // CR LF is one line end, as text mode reads it on Windows
        {std::string("\0" "1\n", 3), "xxxx-"}, // a NUL is a character like any other
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

// Only menu.cfg (and what a test put there) may remain after a save.
std::vector<std::string> folderEntries() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Settings, ReplacedAtomicallyKeepingModeWithNoTemporaryLeftBehind) {
    writeFile("menu.cfg", "11111000");
    chmod("menu.cfg", 0600);
    mkdir("menu.cfg.tmp", 0755); // the name a fixed temporary file would take
    struct stat before {};
    ASSERT_EQ(stat("menu.cfg", &before), 0);
    saveSettings();
    struct stat after {};
    ASSERT_EQ(stat("menu.cfg", &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino); // a new file was renamed over the old one
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    EXPECT_EQ(readFile("menu.cfg"), "00000000");
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"menu.cfg", "menu.cfg.tmp"}));
}

TEST_F(Settings, LinksReadOnlyFilesAndFoldersInItsPlace) {
    gui.smallButtons[1].raised = 0;
    // A link is written through: its target changes, the link stays.
    writeFile("stored.cfg", "00000000");
    ASSERT_EQ(symlink("stored.cfg", "menu.cfg"), 0);
    saveSettings();
    struct stat link {};
    ASSERT_EQ(lstat("menu.cfg", &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(readFile("stored.cfg"), "01000000");
    unlink("menu.cfg");
    unlink("stored.cfg");

    // A read-only file is neither written nor replaced, and the user is told.
    writeFile("menu.cfg", "10000000");
    chmod("menu.cfg", 0444);
    ::testing::internal::CaptureStderr();
    saveSettings();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("read-only"), std::string::npos) << err;
    EXPECT_EQ(readFile("menu.cfg"), "10000000");
    struct stat file {};
    ASSERT_EQ(stat("menu.cfg", &file), 0);
    EXPECT_EQ(file.st_mode & 07777, 0444u);
    unlink("menu.cfg");

    // A folder of that name holds no settings: reported at start, one line at exit.
    ASSERT_EQ(mkdir("menu.cfg", 0755), 0);
    loadSettings();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].first, "File not found !!!");
    ::testing::internal::CaptureStderr();
    saveSettings();
    err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"menu.cfg"}));
}

TEST_F(Settings, UnwritableFolderIsWrittenInPlace) {
    writeFile("menu.cfg", "10000000");
    gui.smallButtons[1].raised = 0;
    // Root writes anywhere: the save runs as an ordinary user in a child process.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(".", 65534, 65534), 0);
        ASSERT_EQ(chown("menu.cfg", 65534, 65534), 0);
    }
    chmod(".", 0555);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        saveSettings();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(".", 0755);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile("menu.cfg"), "01000000");
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"menu.cfg"}));
}

} // namespace

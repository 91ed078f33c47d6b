// The settings file ./menu.cfg: hide-toggle states read at start-up, written at shutdown.
#include "app/settings.hpp"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "gui/gui.hpp"
#include "platform/console.hpp"
#include "platform/file_replace.hpp"
#include "platform/message_box.hpp"

char settingsBuffer[9] = "00000000";

namespace {
constexpr const char* kSettingsPath = "./menu.cfg";
constexpr int kStoredButtons = 6; // the five hide toggles and the volume "-" stepper
} // namespace

void loadSettings() {
    // A directory opens for reading here but holds nothing to read: it counts as missing.
    std::error_code ignored;
    std::FILE* file = std::filesystem::is_directory(kSettingsPath, ignored)
                          ? nullptr
                          : std::fopen(kSettingsPath, "rb");
    if (!file) {
        showMessageBox("File not found !!!", "Error");
        return;
    }
    // At most five characters of the first line, read as a text-mode stream on Windows reads
    // them (CR LF is one line end); every character counts, NUL included. A line end is kept
    // and a terminator follows; positions after the terminator keep what they held.
    char line[5];
    std::size_t count = 0;
    while (count < sizeof line) {
        int c = std::fgetc(file);
        if (c == EOF) break;
        if (c == '\r') {
            const int next = std::fgetc(file);
            if (next == '\n') c = '\n';
            else if (next != EOF) std::ungetc(next, file);
        }
        line[count++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        showMessageBox("File not found !!!", "Error");
        return;
    }
    if (count > 0) {
        std::memcpy(settingsBuffer, line, count);
        settingsBuffer[count] = '\0';
    }
}

void saveSettings() {
    for (int k = 0; k < kStoredButtons && k < static_cast<int>(gui.smallButtons.size()); ++k)
        settingsBuffer[k] = gui.smallButtons[static_cast<std::size_t>(k)].raised ? '0' : '1';
    // Loading never touches positions 6 and 7, so this is always eight characters.
    const std::size_t length = std::strlen(settingsBuffer);

    std::string error;
    if (!replaceFileContents(kSettingsPath, std::string_view(settingsBuffer, length), error))
        tellUser(ConsoleLine::Problem, "halvent: the settings were not saved: " + error);
}

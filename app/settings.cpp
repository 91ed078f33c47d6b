// The settings file ./menu.cfg: hide-toggle states read at start-up, written at shutdown.
#include "app/settings.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "gui/gui.hpp"
#include "platform/durable_file.hpp"
#include "platform/message_box.hpp"

char settingsBuffer[9] = "00000000";

namespace {
constexpr const char* kSettingsPath = "./menu.cfg";
constexpr const char* kTemporaryPath = "./menu.cfg.tmp";
constexpr int kStoredButtons = 6; // the five hide toggles and the volume "-" stepper
} // namespace

void loadSettings() {
    std::FILE* file = std::fopen(kSettingsPath, "r");
    if (!file) {
        showMessageBox("File not found !!!", "Error");
        return;
    }
    // At most five characters of the first line; a line end is kept, a terminator follows.
    // Positions after the terminator keep what they held.
    char line[6];
    if (std::fgets(line, sizeof line, file)) {
        const std::size_t length = std::strlen(line);
        std::memcpy(settingsBuffer, line, length + 1);
    }
    std::fclose(file);
}

void saveSettings() {
    for (int k = 0; k < kStoredButtons && k < static_cast<int>(gui.smallButtons.size()); ++k)
        settingsBuffer[k] = gui.smallButtons[static_cast<std::size_t>(k)].raised ? '0' : '1';
    // Loading never touches positions 6 and 7, so this is always eight characters.
    const std::size_t length = std::strlen(settingsBuffer);

    // Written beside the old file and renamed over it, so the old settings stay whole until
    // the new ones are complete on disk.
    std::FILE* file = std::fopen(kTemporaryPath, "w");
    bool written = file != nullptr;
    if (file) {
        written = std::fwrite(settingsBuffer, 1, length, file) == length;
        written = flushFileToDisk(file) && written;
        written = std::fclose(file) == 0 && written;
    }
    if (written && replaceFileAtomically(kTemporaryPath, kSettingsPath)) return;
    const int error = errno;
    std::remove(kTemporaryPath);
    std::fprintf(stderr, "halvent: cannot save the settings to %s: %s\n", kSettingsPath,
                 std::strerror(error));
}

// Sound cues sent as "play FILE" command strings, and the volume steppers of the options page.
#include "training/sound_cues.hpp"

#include <cctype>
#include <string_view>

#include "gui/gui.hpp"
#include "platform/message_box.hpp"
#include "platform/sound.hpp"

namespace {

CueObserver cueObserver;

// One tenth of the full level 65535, rounded down; the steppers move by it.
constexpr std::int32_t kVolumeStep = 6553;
constexpr std::int32_t kVolumeMax = 65535;
constexpr std::int32_t kVolumePanel = 3;

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// The file of a "play FILE" command (keyword in any case, the file optionally in double
// quotes); empty for every other command.
std::string playedFile(std::string_view command) {
    command = trim(command);
    constexpr std::string_view keyword = "play";
    if (command.size() <= keyword.size()) return {};
    for (std::size_t i = 0; i < keyword.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(command[i])) != keyword[i]) return {};
    if (!std::isspace(static_cast<unsigned char>(command[keyword.size()]))) return {};
    std::string_view file = trim(command.substr(keyword.size()));
    if (file.size() >= 2 && file.front() == '"') {
        const std::size_t close = file.find('"', 1);
        if (close == std::string_view::npos) return {};
        file = file.substr(1, close - 1);
    }
    return std::string(file);
}

} // namespace

void playCue(const char* command) {
    if (!command) return;
    if (cueObserver) cueObserver(command);
    const std::string file = playedFile(command);
    if (!file.empty()) playWaveFile(file); // fire and forget: a missing file just stays silent
}

void setCueObserver(CueObserver observer) {
    cueObserver = std::move(observer);
}

const char* volumeWord(std::int32_t volume) {
    static const char* const words[] = {
        "   0%",  "   10%", "   20%", "   30%", "   40%", "   50%",
        "   60%", "   70%", "   80%", "   90%", "  100%",
    };
    if (volume < 0) return "";
    const std::int32_t tenth = volume / kVolumeStep;
    if (tenth > 10) return "";
    return words[tenth];
}

void applyVolume() {
    setMasterVolume(static_cast<std::uint32_t>(gui.volume < 0 ? 0 : gui.volume));
}

void volumeStepClicked(std::uint32_t position) {
    if (position < gui.smallButtons.size()) gui.smallButtons[position].raised = 1;
    if (position == 5) {
        gui.volume = gui.volume - kVolumeStep < 0 ? 0 : gui.volume - kVolumeStep;
    } else {
        gui.volume = gui.volume > kVolumeMax - kVolumeStep ? kVolumeMax : gui.volume + kVolumeStep;
    }
    if (!setMasterVolume(static_cast<std::uint32_t>(gui.volume)))
        showMessageBox("Sounds not supported.", "Error!");
    const char* word = volumeWord(gui.volume);
    if (*word) gui.setPanelStatus(kVolumePanel, 1.0, 1.0, 1.0, 1.0, word);
    playCue("play ./img/1.wav");
}

// Wave playback with MCI command strings and the wave mapper's volume: one voice per file.
#include "platform/sound.hpp"

#include <unordered_map>

#include "platform/win32/mci_output.hpp"
#include "platform/win32/win32_shared.hpp"

#include <mmsystem.h>

namespace {

// The multimedia system itself.
class SystemMci final : public win32::MciOutput {
public:
    unsigned deviceCount() override { return waveOutGetNumDevs(); }
    unsigned send(const std::string& command, std::string& reply) override {
        char buffer[128] = {};
        const MCIERROR error = mciSendStringA(command.c_str(), buffer, sizeof buffer, nullptr);
        reply = buffer;
        return static_cast<unsigned>(error);
    }
    bool setVolume(std::uint32_t bothChannels) override {
        const auto mapper = reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(WAVE_MAPPER));
        return waveOutSetVolume(mapper, bothChannels) == MMSYSERR_NOERROR;
    }
};

SystemMci systemMci;
win32::MciOutput* chosenOutput = nullptr; // a stand-in, or null for the system
win32::MciOutput* output = nullptr;       // the one in use while the device is open

// Each file has its own MCI device under an alias, opened at its first play and kept, so a
// file plays at most once at a time while different files overlap.
std::unordered_map<std::string, std::string> aliases;
int nextAlias = 1;

unsigned send(const std::string& command) {
    std::string reply;
    return output->send(command, reply);
}

bool isPlaying(const std::string& alias) {
    std::string reply;
    return output->send("status " + alias + " mode", reply) == 0 && reply == "playing";
}

} // namespace

namespace win32 {
void setMciOutput(MciOutput* newOutput) { chosenOutput = newOutput; }
} // namespace win32

bool openAudio() {
    if (output) return true;
    win32::MciOutput* candidate = chosenOutput ? chosenOutput : &systemMci;
    if (candidate->deviceCount() == 0) return false;
    output = candidate;
    return true;
}

void closeAudio() {
    if (!output) return;
    for (const auto& [path, alias] : aliases)
        send("close " + alias);
    aliases.clear();
    output = nullptr;
}

bool audioAvailable() { return output != nullptr; }

bool playWaveFile(const std::string& path) {
    if (!output || path.empty()) return false;
    // A quote would end the file name inside the command string.
    if (path.find('"') != std::string::npos) return false;
    auto found = aliases.find(path);
    if (found == aliases.end()) {
        const std::string alias = "cue" + std::to_string(nextAlias);
        // Failures are not remembered: a file that appears later plays then.
        if (send("open \"" + path + "\" type waveaudio alias " + alias) != 0) return false;
        ++nextAlias;
        found = aliases.emplace(path, alias).first;
    }
    const std::string& alias = found->second;
    if (isPlaying(alias)) return true; // still sounding: the play is ignored
    return send("play " + alias + " from 0") == 0;
}

bool setMasterVolume(std::uint32_t level) {
    if (!output) return false;
    if (level > 65535u) level = 65535u;
    // The same level in both words: a master level, not the left channel alone.
    return output->setVolume(level | (level << 16));
}

int soundingVoices() {
    int sounding = 0;
    if (!output) return 0;
    for (const auto& [path, alias] : aliases)
        if (isPlaying(alias)) ++sounding;
    return sounding;
}

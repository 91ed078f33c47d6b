// Wave playback and the master level on SDL_mixer: one voice per file, files overlap.
#include "platform/sound.hpp"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <unordered_map>

namespace {

// Enough voices for the four phase cues, the error sound and the volume test sound at once.
constexpr int kVoices = 16;

struct CachedWave {
    Mix_Chunk* chunk = nullptr;
    int voice = -1; // the mixing channel of the last play, -1 before the first
};

bool deviceOpen = false;
std::unordered_map<std::string, CachedWave> waves; // decoded once, kept until closeAudio

void freeWaves() {
    for (auto& [path, wave] : waves)
        Mix_FreeChunk(wave.chunk);
    waves.clear();
}

} // namespace

bool openAudio() {
    if (deviceOpen) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    // 1024 frames (23 ms) keeps a cue close to its beat without underruns.
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(kVoices);
    deviceOpen = true;
    return true;
}

void closeAudio() {
    if (!deviceOpen) return;
    Mix_HaltChannel(-1);
    freeWaves();
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    deviceOpen = false;
}

bool audioAvailable() {
    return deviceOpen;
}

bool playWaveFile(const std::string& path) {
    if (!deviceOpen || path.empty()) return false;
    auto found = waves.find(path);
    if (found == waves.end()) {
        // Failures are not remembered: a file that appears later plays then.
        Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
        if (!chunk) return false;
        found = waves.emplace(path, CachedWave{chunk, -1}).first;
    }
    CachedWave& wave = found->second;
    if (wave.voice >= 0 && Mix_Playing(wave.voice) && Mix_GetChunk(wave.voice) == wave.chunk)
        return true; // still sounding: the play is ignored, as one device per file would
    const int voice = Mix_PlayChannel(-1, wave.chunk, 0);
    if (voice < 0) return false; // every voice busy
    wave.voice = voice;
    return true;
}

bool setMasterVolume(std::uint32_t level) {
    if (!deviceOpen) return false;
    if (level > 65535u) level = 65535u;
    // The mixer's master level runs 0..128 and applies to both channels alike.
    const int mixerLevel = static_cast<int>((level * MIX_MAX_VOLUME + 32767u) / 65535u);
    Mix_MasterVolume(mixerLevel);
    return true;
}

int soundingVoices() {
    return deviceOpen ? Mix_Playing(-1) : 0;
}

// A preloaded library that times the real program's buffer swaps, so the program itself needs
// no benchmark code: LD_PRELOAD=libhalvent_swap_probe.so HALVENT_PROBE_FILE=out halvent ...
// The file gets "first <ns>" at the first swap and "swap <ns>" per swap at exit, in
// CLOCK_MONOTONIC nanoseconds (the clock a driver script reads with time.monotonic_ns()); also
// "beat <ns>" per posted sensor message with a rising pulse and "clear <ns>" per frame begun
// (its glClear), so the delay from a beat to the frame that shows it can be worked out.
#include <dlfcn.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>


namespace {

using SwapFunction = void (*)(void*);

// The head of SDL 2's user event, as its ABI lays it out; SDL's own headers would clash with
// the functions replaced here.
constexpr std::uint32_t kUserEvent = 0x8000;
struct UserEventHead {
    std::uint32_t type, timestamp, windowId;
    std::int32_t code;
    void *data1, *data2;
};

std::int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Recorder {
    const char* path = std::getenv("HALVENT_PROBE_FILE");
    std::vector<std::int64_t> swaps, clears, beats;
    std::mutex beatsMutex; // beats are posted from the sensor thread
    bool pulseWasOn = false;

    Recorder() {
        swaps.reserve(1 << 16);
        clears.reserve(1 << 16);
        beats.reserve(1 << 12);
    }

    // Written at exit: the program ends through its own shutdown, which returns from main.
    ~Recorder() {
        if (!path) return;
        if (std::FILE* out = std::fopen(path, "a")) {
            for (const std::int64_t t : swaps)
                std::fprintf(out, "swap %lld\n", static_cast<long long>(t));
            for (const std::int64_t t : clears)
                std::fprintf(out, "clear %lld\n", static_cast<long long>(t));
            const std::lock_guard lock(beatsMutex);
            for (const std::int64_t t : beats)
                std::fprintf(out, "beat %lld\n", static_cast<long long>(t));
            std::fclose(out);
        }
    }

    void onSwap(std::int64_t t) {
        // The first frame is written at once, so a run that is killed still reports it.
        if (swaps.empty() && path) {
            if (std::FILE* out = std::fopen(path, "a")) {
                std::fprintf(out, "first %lld\n", static_cast<long long>(t));
                std::fclose(out);
            }
        }
        swaps.push_back(t);
    }


    // The sensor message's pulse bit (bit 1 of wParam), read as the device posts it.
    void onPost(const UserEventHead& event, std::int64_t t) {
        if (event.type != kUserEvent || event.code != 2024) return;
        const bool pulse = (reinterpret_cast<std::uintptr_t>(event.data1) & 2u) != 0;
        const std::lock_guard lock(beatsMutex);
        if (pulse && !pulseWasOn) beats.push_back(t);
        pulseWasOn = pulse;
    }
};

Recorder recorder;

} // namespace

extern "C" __attribute__((visibility("default"))) void SDL_GL_SwapWindow(void* window) {
    static const auto real = reinterpret_cast<SwapFunction>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    if (real) real(window);
    recorder.onSwap(monotonicNs());
}

extern "C" __attribute__((visibility("default"))) int SDL_PushEvent(void* event) {
    using PushFunction = int (*)(void*);
    static const auto real = reinterpret_cast<PushFunction>(dlsym(RTLD_NEXT, "SDL_PushEvent"));
    // Stamped before the post: the delay counts from the moment the device hands it over.
    if (event) recorder.onPost(*static_cast<const UserEventHead*>(event), monotonicNs());
    return real ? real(event) : -1;
}

extern "C" __attribute__((visibility("default"))) void glClear(unsigned int mask) {
    using ClearFunction = void (*)(unsigned int);
    static const auto real = reinterpret_cast<ClearFunction>(dlsym(RTLD_NEXT, "glClear"));
    recorder.clears.push_back(monotonicNs());
    if (real) real(mask);
}

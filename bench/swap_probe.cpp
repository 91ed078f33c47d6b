// A preloaded library that times the real program's buffer swaps, so the program itself needs
// no benchmark code: LD_PRELOAD=libhalvent_swap_probe.so HALVENT_PROBE_FILE=out halvent ...
// The file gets "first <ns>" at the first swap and "swap <ns>" per swap at exit, in
// CLOCK_MONOTONIC nanoseconds (the clock a driver script reads with time.monotonic_ns()).
#include <dlfcn.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using SwapFunction = void (*)(void*);

std::int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Recorder {
    const char* path = std::getenv("HALVENT_PROBE_FILE");
    std::vector<std::int64_t> swaps;

    Recorder() { swaps.reserve(1 << 16); }

    // Written at exit: the program ends through its own shutdown, which returns from main.
    ~Recorder() {
        if (!path) return;
        if (std::FILE* out = std::fopen(path, "a")) {
            for (const std::int64_t t : swaps)
                std::fprintf(out, "swap %lld\n", static_cast<long long>(t));
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
};

Recorder recorder;

} // namespace

extern "C" __attribute__((visibility("default"))) void SDL_GL_SwapWindow(void* window) {
    static const auto real = reinterpret_cast<SwapFunction>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    if (real) real(window);
    recorder.onSwap(monotonicNs());
}

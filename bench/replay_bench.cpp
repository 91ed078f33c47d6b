// Replay timing: a real recording played through brix; how closely the pulse rises that the
// program decodes keep the recording's intervals, and the delay from each beat to its rise.
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "brix.h"
#include "brix_message.hpp"
#include "platform/events.hpp"
#include "sensor/sensor_state.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

} // namespace

int main(int argc, char** argv) {
    std::string recording = HALVENT_TESTDATA_DIR "/rr/real_rri.txt";
    std::size_t beats = 60;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--recording" && i + 1 < argc)
            recording = argv[++i];
        else if (arg == "--beats" && i + 1 < argc)
            beats = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--out" && i + 1 < argc)
            out = argv[++i];
        else {
            std::fprintf(stderr,
                         "usage: replay_bench [--recording FILE] [--beats N] [--out FILE]\n");
            return 2;
        }
    }
    // The first `beats` intervals, in a file of their own, played once.
    std::vector<double> rr;
    {
        std::ifstream in(recording);
        double ms = 0;
        while (rr.size() < beats && in >> ms)
            if (ms >= 200 && ms <= 3000) rr.push_back(ms);
    }
    const std::string part = "/tmp/halvent-replay-bench.txt";
    {
        std::ofstream file(part);
        for (double ms : rr)
            file << ms << "\n";
    }
    char error[512];
    if (rr.size() < 3 || !BrixChooseSource(("replay:" + part).c_str(), error, sizeof error)) {
        std::fprintf(stderr, "replay_bench: %s\n", rr.size() < 3 ? "too few intervals" : error);
        return 1;
    }
    if (SDL_Init(SDL_INIT_EVENTS) != 0) return 1;
    int window = 0;
    SensorState sensor;
    std::vector<double> riseAt;          // ms after the start, when the loop decoded it
    std::vector<std::uint32_t> carried;  // the interval the rise carries
    const auto start = Clock::now();
    BrixOpen(&window, 2024);
    double total = 3000;
    for (double ms : rr)
        total += ms;
    while (std::chrono::duration<double, std::milli>(Clock::now() - start).count() < total) {
        Event event;
        while (pollEvent(event)) {
            if (event.kind != Event::Kind::Sensor) continue;
            const bool wasOn = sensor.pulseOn;
            sensor.onMessage(event.wParam, event.lParam, event.tick);
            if (sensor.pulseOn && !wasOn) {
                riseAt.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                carried.push_back(beatIntervalOf(event.wParam));
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    BrixClose();
    SDL_Quit();
    std::remove(part.c_str());

    // Rise k is beat k + 1 of the recording (the first interval ends the first beat).
    std::vector<double> intervalError, delay;
    double beatAt = 0;
    for (std::size_t k = 0; k < riseAt.size() && k < rr.size(); ++k) {
        beatAt += rr[k];
        delay.push_back(riseAt[k] - beatAt);
        if (k > 0) intervalError.push_back(std::abs(static_cast<double>(carried[k]) - rr[k]));
    }
    const double drift = delay.empty() ? 0.0 : delay.back() - delay.front();
    char table[2048];
    std::snprintf(table, sizeof table,
                  "## Replay timing (%zu beats of %s, %.0f s)\n\n"
                  "| measure | value |\n|---|---|\n"
                  "| rises decoded / beats | %zu / %zu |\n"
                  "| interval error, median (carried by the rise) | %.2f ms |\n"
                  "| interval error, worst | %.2f ms |\n"
                  "| delay beat -> decoded rise, median | %.1f ms |\n"
                  "| delay, spread (95th - 5th percentile) | %.1f ms |\n"
                  "| delay, last beat - first beat (drift) | %.1f ms |\n",
                  rr.size(), recording.substr(recording.find_last_of('/') + 1).c_str(),
                  total / 1000, riseAt.size(), rr.size(), percentile(intervalError, 0.5),
                  percentile(intervalError, 1.0), percentile(delay, 0.5),
                  percentile(delay, 0.95) - percentile(delay, 0.05), drift);
    std::fputs(table, stdout);
    if (!out.empty()) std::ofstream(out) << table;
    return riseAt.size() == rr.size() ? 0 : 1;
}

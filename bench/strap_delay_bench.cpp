// The delay from a strap's beat to its pulse rise: a simulated strap sends a real recording
// every 1, 2 and 3 s (give or take a quarter second) through the link's sink at real speed,
// optionally beside busy loops; the rises are read off the event queue as the program reads
// them. Usage: halvent_strap_delay_bench [--seconds N] [--busy N] [--out FILE]
#include <SDL2/SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "link/pulse_output.hpp"
#include "brix_message.hpp"
#include "platform/events.hpp"

namespace {

constexpr double kJitterMs = 250;

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

std::vector<double> recording() {
    std::ifstream in(HALVENT_TESTDATA_DIR "/rr/real_rri.txt");
    std::vector<double> out;
    for (double ms = 0; in >> ms;)
        if (ms >= 200 && ms <= 3000) out.push_back(ms);
    return out;
}

struct Rise {
    std::uint32_t tick;    // the moment it stands for
    std::uint32_t decoded; // when the loop took it off the queue
    std::uint32_t intervalMs;
};

// One strap: its beats happen at tick0 + the sum of the intervals; every periodMs (with
// jitter) it hands the sink the beats that ended since its last notification.
struct Strap {
    std::uint32_t message = 0;
    double periodMs = 0;
    std::vector<double> rr;
    std::uint32_t tick0 = 0;
    std::vector<double> moments; // after tick0
    std::vector<Rise> rises;
    bool high = false;
    std::size_t handed = 0; // beats handed to the sink

    void run(brix::PulseOutput& output, double seconds, std::uint32_t start) {
        tick0 = start;
        double t = 0;
        for (const double ms : rr)
            moments.push_back(t += ms);
        std::mt19937 random(static_cast<unsigned>(periodMs));
        std::size_t next = 0;
        double at = 0;
        while (at < seconds * 1000) {
            at += periodMs + std::uniform_real_distribution<double>(-kJitterMs, kJitterMs)(random);
            const auto arrival = tick0 + static_cast<std::uint32_t>(at);
            while (static_cast<std::int32_t>(arrival - SDL_GetTicks()) > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::vector<double> batch;
            while (next < rr.size() && moments[next] <= at)
                batch.push_back(rr[next++]);
            handed += batch.size();
            output.batch(batch, arrival);
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    int busy = 0;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (arg == "--busy" && i + 1 < argc)
            busy = std::atoi(argv[++i]);
        else if (arg == "--out" && i + 1 < argc)
            out = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--seconds N] [--busy N] [--out FILE]\n", argv[0]);
            return 2;
        }
    }
    if (SDL_Init(SDL_INIT_EVENTS) != 0) return 1;
    std::atomic<bool> spinning{true};
    std::vector<std::thread> loops;
    for (int i = 0; i < busy; ++i)
        loops.emplace_back([&spinning] {
            volatile unsigned long n = 0;
            while (spinning.load(std::memory_order_relaxed))
                n = n + 1;
        });

    const std::vector<double> rr = recording();
    std::vector<Strap> straps(3);
    for (std::size_t s = 0; s < straps.size(); ++s) {
        straps[s].message = 2024 + static_cast<std::uint32_t>(s);
        straps[s].periodMs = 1000.0 * static_cast<double>(s + 1);
        straps[s].rr = rr;
    }
    int window = 0;
    std::vector<std::unique_ptr<brix::PulseOutput>> outputs;
    std::vector<std::thread> threads;
    const std::uint32_t start = SDL_GetTicks() + 100;
    for (Strap& strap : straps) {
        outputs.push_back(std::make_unique<brix::PulseOutput>(&window, strap.message));
        brix::PulseOutput& output = *outputs.back();
        threads.emplace_back(
            [&strap, &output, seconds, start] { strap.run(output, seconds, start); });
    }
    // The program's side: the rises, as its loop takes them.
    while (SDL_GetTicks() < start + static_cast<std::uint32_t>(seconds * 1000) + 4500) {
        Event event;
        while (pollEvent(event)) {
            if (event.kind != Event::Kind::Sensor) continue;
            for (Strap& strap : straps) {
                if (event.message != strap.message) continue;
                const bool pulse = (event.wParam & kPulseBit) != 0;
                if (pulse && !strap.high)
                    strap.rises.push_back(
                        {event.tick, SDL_GetTicks(), beatIntervalOf(event.wParam)});
                strap.high = pulse;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    for (std::thread& t : threads)
        t.join();
    std::vector<std::int64_t> learned;
    for (auto& output : outputs) {
        learned.push_back(output->delayMs());
        output->stop();
    }
    spinning = false;
    for (std::thread& t : loops)
        t.join();
    SDL_Quit();

    std::string table = "## Strap delay (" + std::to_string(static_cast<int>(seconds)) +
                        " s of real_rri.txt a batching, +-" +
                        std::to_string(static_cast<int>(kJitterMs)) + " ms jitter, " +
                        std::to_string(busy) +
                        " busy loops)\n\n"
                        "| batching | delay learned | beat -> rise: median | worst | rise posted "
                        "late: median | worst | interval error, worst | beats shown / sent |\n"
                        "|---|---:|---:|---:|---:|---:|---:|---:|\n";
    bool ok = true;
    for (std::size_t s = 0; s < straps.size(); ++s) {
        const Strap& strap = straps[s];
        // The first rise is the beat whose interval sequence it begins.
        std::size_t first = 0;
        for (; first + 5 < rr.size(); ++first) {
            bool same = true;
            for (std::size_t i = 0; i < 5 && i < strap.rises.size(); ++i)
                same = same && std::abs(rr[first + i] - strap.rises[i].intervalMs) <= 0.5;
            if (same) break;
        }
        std::vector<double> delay, late, error;
        for (std::size_t i = 0; i < strap.rises.size() && first + i < rr.size(); ++i) {
            const Rise& rise = strap.rises[i];
            delay.push_back(static_cast<std::int32_t>(rise.tick - strap.tick0) -
                            strap.moments[first + i]);
            late.push_back(static_cast<std::int32_t>(rise.decoded - rise.tick));
            error.push_back(std::abs(rr[first + i] - rise.intervalMs));
        }
        char row[256];
        std::snprintf(
            row, sizeof row,
            "| every %.0f s | %lld ms | %.0f ms | %.0f ms | %.0f ms | %.0f ms | %.1f ms | "
            "%zu / %zu |\n",
            strap.periodMs / 1000, static_cast<long long>(learned[s]), percentile(delay, 0.5),
            percentile(delay, 1.0), percentile(late, 0.5), percentile(late, 1.0),
            percentile(error, 1.0), strap.rises.size(), strap.handed);
        table += row;
        ok = ok && !strap.rises.empty() && percentile(error, 1.0) <= 0.5;
    }
    std::fputs(table.c_str(), stdout);
    if (!out.empty()) std::ofstream(out) << table;
    return ok ? 0 : 1;
}

// The simulated device's worker and its six-step pattern.
#include "sources/simulated_source.hpp"
#include "os/thread_priority.hpp"

#include <cstdint>

#include "brix_message.hpp"
#include "os/post_message.hpp"

namespace brix {
namespace {

constexpr std::uint32_t kStepPeriodMs = 500;
constexpr std::uint32_t kBeatIntervalMs = 2 * kStepPeriodMs; // a rise every other step

// One pattern step: breath on for steps 3..5, a pulse rise at every odd step; both sensors
// ready. Each rise carries the 1000 ms since the one before.
void postStep(SourceSink& sink, int step, std::uint32_t moment) {
    SensorMessage m;
    m.breathIn = step >= 3;
    m.pulseHigh = step % 2 == 1;
    m.breathStatus = m.pulseStatus = kStatusReady;
    m.beatIntervalMs = m.pulseHigh ? kBeatIntervalMs : 0;
    sink.pattern(sensorWParam(m), sensorLParam(m), moment);
}

} // namespace

SimulatedSource::~SimulatedSource() {
    stop();
}

bool SimulatedSource::start(SourceSink& sink, std::string& error) {
    stopping_ = false;
    // The first step before the first frame can be drawn, so the panels start the same on
    // every run; the worker goes on from the second.
    const std::uint32_t start = programTick();
    postStep(sink, 0, start);
    try {
        worker_ = std::thread([this, &sink, start] { run(sink, start); });
    } catch (const std::exception& e) {
        error = std::string("cannot start the simulated device: ") + e.what();
        return false;
    }
    raiseWorkerPriority(worker_);
    return true;
}

void SimulatedSource::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

// One step a period after the first. Each step's moment is the start plus whole periods on
// the program's clock, so no step drifts with a late wake-up.
void SimulatedSource::run(SourceSink& sink, std::uint32_t start) {
    int step = 0;
    std::uint32_t moment = start;
    std::unique_lock lock(mutex_);
    for (;;) {
        moment += kStepPeriodMs;
        step = (step + 1) % 6;
        for (;;) {
            const auto left = static_cast<std::int32_t>(moment - programTick());
            if (left <= 0 || stopping_) break;
            wake_.wait_for(lock, std::chrono::milliseconds(left), [this] { return stopping_; });
        }
        if (stopping_) return;
        lock.unlock();
        postStep(sink, step, moment);
        lock.lock();
    }
}

} // namespace brix

// The simulated device's worker and its six-step pattern.
#include "simulated_source.hpp"
#include "thread_priority.hpp"

#include <cstdint>

namespace brix {
namespace {

constexpr auto kStepPeriod = std::chrono::milliseconds(500);

} // namespace

SimulatedSource::~SimulatedSource() {
    stop();
}

bool SimulatedSource::start(SourceSink& sink, std::string& error) {
    stopping_ = false;
    try {
        worker_ = std::thread([this, &sink] { run(sink); });
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

// One pattern step a period: breath on for steps 3..5, a pulse rise at every odd step; both
// status codes 2 (ready), with copies of the two signals in the status byte.
void SimulatedSource::run(SourceSink& sink) {
    int step = 0;
    auto next = Clock::now();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        const std::uintptr_t breath = step >= 3 ? 1 : 0;
        const std::uintptr_t pulse = static_cast<std::uintptr_t>(step % 2);
        const std::uintptr_t wParam = 0x10000u | (pulse * 2) | breath;
        const std::uintptr_t lParam = 0x490000u | (((breath * 8) | pulse) << 20);
        sink.pattern(wParam, static_cast<std::intptr_t>(lParam));
        lock.lock();
        next += kStepPeriod;
        wake_.wait_until(lock, next, [this] { return stopping_; });
        step = (step + 1) % 6;
    }
}

} // namespace brix

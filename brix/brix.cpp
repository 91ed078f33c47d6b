// The simulated sensor device: a worker posts a fixed six-step pattern every 500 ms.
#include "brix.h"
#include "post_message.hpp"
#include "thread_priority.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace {

// Shared with the worker: atomics, so the worker sees a close without a data race.
std::atomic<bool> running{false};
std::atomic<void*> targetWindow{nullptr};
std::atomic<std::uint32_t> messageNumber{0};
std::thread workerThread;

// The worker sleeps on this, so a close wakes it at once instead of killing it.
std::mutex wakeMutex;
std::condition_variable wake;

constexpr auto kStepPeriod = std::chrono::milliseconds(500);
constexpr std::uint32_t kHighestUnpostedMessage = 1024; // WM_USER and below are never posted

// One pattern step: breath on for steps 3..5, a pulse rise at every odd step.
void postStep(int step) {
    const std::uintptr_t breath = step >= 3 ? 1 : 0;
    const std::uintptr_t pulse = static_cast<std::uintptr_t>(step % 2);
    void* window = targetWindow.load();
    const std::uint32_t message = messageNumber.load();
    if (window == nullptr || message <= kHighestUnpostedMessage) return;
    // Status byte: bit 16 set, both status codes 2 (ready), copies of the two signals.
    const std::uintptr_t wParam = 0x10000u | (pulse * 2) | breath;
    const std::uintptr_t lParam = 0x490000u | (((breath * 8) | pulse) << 20);
    // A failed post (a full queue) is ignored.
    brix::postSensorMessage(window, message, wParam, static_cast<std::intptr_t>(lParam));
}

void worker() {
    int step = 0;
    auto next = std::chrono::steady_clock::now();
    std::unique_lock lock(wakeMutex);
    while (running.load()) {
        lock.unlock();
        postStep(step);
        lock.lock();
        next += kStepPeriod;
        wake.wait_until(lock, next, [] { return !running.load(); });
        step = (step + 1) % 6;
    }
}

} // namespace

extern "C" bool BrixOpen(void* window, uint32_t message) {
    bool expected = false;
    if (!running.compare_exchange_strong(expected, true)) return false;
    targetWindow.store(window);
    messageNumber.store(message);
    try {
        workerThread = std::thread(worker);
    } catch (...) {
        running.store(false);
        return false;
    }
    brix::raiseWorkerPriority(workerThread);
    return true;
}

extern "C" bool BrixClose(void) {
    if (!running.load()) return false;
    {
        std::lock_guard lock(wakeMutex);
        running.store(false);
    }
    wake.notify_all();
    // The worker only waits on `wake` or posts one event, so it ends well within 100 ms.
    if (workerThread.joinable()) workerThread.join();
    targetWindow.store(nullptr);
    messageNumber.store(0);
    return true;
}

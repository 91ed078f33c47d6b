// SIGTERM, SIGINT and SIGHUP caught as one end request (a flag, as much as a handler may do).
#include "platform/end_signals.hpp"

#include <signal.h>

#include <atomic>

namespace {

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void onEndSignal(int) {
    requested.store(true);
}

} // namespace

void catchEndSignals() {
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool endRequested() {
    return requested.load();
}

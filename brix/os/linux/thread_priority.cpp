// The worker's priority on POSIX: round-robin real-time scheduling when the user may have it.
#include "os/thread_priority.hpp"

#include <pthread.h>
#include <sched.h>

namespace brix {

void raiseWorkerPriority(std::thread& thread) {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_RR);
    if (pthread_setschedparam(thread.native_handle(), SCHED_RR, &param) != 0) {
        // Not permitted for ordinary users: the default policy serves a 500 ms period well.
    }
}

} // namespace brix

// The worker's priority on Windows: THREAD_PRIORITY_HIGHEST, as the device link always had.
#include "os/thread_priority.hpp"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <pthread.h>

namespace brix {

void raiseWorkerPriority(std::thread& thread) {
    // std::thread on the posix thread model wraps a winpthreads thread; its Windows handle is
    // what SetThreadPriority needs.
    const HANDLE handle = pthread_gethandle(thread.native_handle());
    if (handle) SetThreadPriority(handle, THREAD_PRIORITY_HIGHEST);
}

} // namespace brix

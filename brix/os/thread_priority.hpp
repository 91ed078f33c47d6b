// The worker's scheduling priority, which each system raises in its own way.
#pragma once

#include <thread>

namespace brix {

// Raises `thread` to the highest priority the system grants this process; where that is not
// permitted the thread keeps its priority (a 500 ms period needs no more).
void raiseWorkerPriority(std::thread& thread);

} // namespace brix

// The link's two exports and the choice of source: one link per process.
#include "brix.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "link/pulse_output.hpp"
#include "link/sensor_source.hpp"
#include "link/source_choice.hpp"

namespace {

struct Link {
    std::mutex mutex; // Open, Close and Choose may come from different threads
    brix::SourceChoice choice = brix::chooseSource("simulated");
    std::unique_ptr<brix::PulseOutput> output;
    std::unique_ptr<brix::SensorSource> source;
};

// Never destroyed: a process that exits with the link open (exit() from a library, say)
// must not destroy a mutex or condition variable that a worker still uses. The exit hook
// below stops the workers first.
Link& link() {
    static Link* const instance = new Link;
    return *instance;
}

bool closeLink(Link& l) {
    if (!l.output) return false;
    if (l.source) l.source->stop(); // no sink call after this
    l.output->stop();
    l.source.reset();
    l.output.reset();
    return true;
}

// Runs at exit() before the statics made earlier (the program's and its libraries') go, so
// the workers are stopped and joined while everything they touch still exists.
struct CloseAtExit {
    ~CloseAtExit() {
        Link& l = link();
        std::lock_guard lock(l.mutex);
        closeLink(l);
    }
};

void copyError(const std::string& text, char* error, size_t size) {
    if (error == nullptr || size == 0) return;
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(error, text.data(), n);
    error[n] = '\0';
}

} // namespace

extern "C" bool BrixOpen(void* window, uint32_t message) {
    static CloseAtExit closeAtExit;
    Link& l = link();
    std::lock_guard lock(l.mutex);
    if (l.output) return false;
    try {
        l.output = std::make_unique<brix::PulseOutput>(window, message);
        l.source = l.choice.make();
    } catch (...) {
        l.output.reset();
        return false;
    }
    std::string error;
    if (!l.source || !l.source->start(*l.output, error)) {
        l.source.reset();
        l.output.reset();
        return false;
    }
    return true;
}

extern "C" bool BrixClose(void) {
    Link& l = link();
    std::lock_guard lock(l.mutex);
    return closeLink(l);
}

extern "C" bool BrixChooseSource(const char* source, char* error, size_t size) {
    brix::SourceChoice choice;
    try {
        choice = brix::chooseSource(source != nullptr ? source : "");
    } catch (const std::exception& e) {
        choice = {{}, std::string("cannot choose the sensor: ") + e.what()};
    }
    if (!choice.make) {
        copyError(choice.error, error, size);
        return false;
    }
    Link& l = link();
    std::lock_guard lock(l.mutex);
    l.choice = std::move(choice);
    copyError("", error, size);
    return true;
}

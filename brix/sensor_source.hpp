// The one small interface behind which every sensor source of the link lives.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace brix {

using Clock = std::chrono::steady_clock;

// What a source delivers to the link. Thread-safe: a source calls it from its own threads,
// never after its stop() has returned.
class SourceSink {
public:
    virtual ~SourceSink() = default;

    // One heartbeat that ended an interval of rrMs milliseconds, as the sensor measured it.
    // Beats that arrive together (a strap sends about once a second, sometimes several at
    // once) are handed over in order with the same receivedAt, the moment they arrived.
    virtual void beat(double rrMs, Clock::time_point receivedAt) = 0;

    // The sensors' status codes: 0 switching on, 1 searching for a signal, 2 ready; 3 for a
    // sensor the source does not have (its panel then stays as it is).
    virtual void status(int pulse, int breath) = 0;

    // The device itself went away while in use; the program ends (the disconnection bit).
    virtual void deviceLost() = 0;

    // A message exactly as given, posted at once: for the simulated device, whose fixed
    // pattern of signals and status is the message stream itself.
    virtual void pattern(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {}
};

class SensorSource {
public:
    virtual ~SensorSource() = default;

    // Starts the source's own threads, which deliver to `sink` until stop(). False, with one
    // plain sentence in `error`, when the source cannot start at all.
    virtual bool start(SourceSink& sink, std::string& error) = 0;

    // Ends delivery within 100 ms and joins the source's threads; the sink is not called
    // after it returns. Safe to call twice.
    virtual void stop() = 0;
};

} // namespace brix

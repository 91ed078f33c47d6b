// The one small interface behind which every sensor source of the link lives.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace brix {

using Clock = std::chrono::steady_clock;

// What a source delivers to the link. Thread-safe: a source calls it from its own threads,
// never after its stop() has returned.
class SourceSink {
public:
    virtual ~SourceSink() = default;

    // A notification of a sensor that sends its beats in batches (a strap): the intervals of
    // the beats it brings, in ms and in order (perhaps none), and the program tick it arrived
    // at. One without beats still tells how often the sensor sends.
    virtual void batch(const std::vector<double>& rrMs, std::uint32_t arrivedTick) = 0;

    // One beat of a sensor that hands each over at its own moment (a recording): the interval
    // that ended at `momentTick`, the program tick it stands for.
    virtual void timedBeat(double rrMs, std::uint32_t momentTick) = 0;

    // The sensors' status codes (kStatus... of the sensor message): switching on, searching for
    // a signal, ready, or no such sensor (its panel then stays as it is). A source whose breath
    // sensor streams gives kBreathAsStreamed: the breath status stays as breath() last set it.
    static constexpr int kBreathAsStreamed = -1;
    virtual void status(int pulse, int breath) = 0;

    // The breath sensor changed (breathing in or out, or its status code) at the program tick
    // `momentTick`. Shown with the same delay as the beats, so that the breathing and the
    // pacer are compared at the same moment. Sources without a breath sensor never call it.
    virtual void breath(bool /*in*/, int /*status*/, std::uint32_t /*momentTick*/) {}

    // The device itself went away while in use; the program ends (the disconnection bit).
    virtual void deviceLost() = 0;

    // A message exactly as given, posted at once and timed by `tick` (the program tick it
    // stands for): for the simulated device, whose fixed pattern of signals and status is the
    // message stream itself.
    virtual void pattern(std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/,
                         std::uint32_t /*tick*/) {}
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

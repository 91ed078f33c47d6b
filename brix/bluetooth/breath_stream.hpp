// The strap's accelerometer as a breath sensor: the control-point dialogue that starts it,
// and its frames turned into breath changes on the host's time line.
#pragma once

#include "bluetooth/breath_detector.hpp"
#include "bluetooth/device_clock.hpp"
#include "link/sensor_source.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brix {

// Knows nothing of the bus: the Bluetooth source writes the commands it gives and hands it
// what the strap sends, so the dialogue is tested without Bluetooth. Not thread-safe: the
// source's thread owns it.
class BreathStream {
  public:
    // A strap that takes longer than this to answer a command has no usable breath sensor.
    static constexpr auto kAnswerWait = std::chrono::seconds(5);

    // What the source does next: a command to write, and a problem to tell (the breath
    // sensor is then given up until the next connection).
    struct Step {
        std::vector<std::uint8_t> write;
        std::string problem;
        bool started = false; // the accelerometer streams from now: the breath is switching on
    };

    // A breath change and the host time (steady clock, ns) of the sample that made it.
    struct Change {
        bool in;
        int status;
        std::int64_t atNs;
    };

    // A connection to a strap with the service: asks for the accelerometer's settings.
    Step begin(Clock::time_point now);
    // One indication of the control point.
    Step onAnswer(const std::uint8_t* data, std::size_t size, Clock::time_point now);
    // No answer came in time; the problem to tell, when one was awaited.
    Step onTimeout(Clock::time_point now);
    // One data notification, arrived at `arrivalNs` (steady clock, ns). A frame that cannot
    // be read sets `problem` (the first time only) and is skipped.
    std::vector<Change> onData(const std::uint8_t* data, std::size_t size, std::int64_t arrivalNs,
                               std::string& problem);
    // The link closed: nothing streams until begin() again.
    void end();

    // Whether the strap was asked to start (and so must be asked to stop at the close).
    bool started() const { return stage_ == Stage::Starting || stage_ == Stage::Streaming; }
    bool streaming() const { return stage_ == Stage::Streaming; }
    // When the awaited answer is overdue; max() when none is awaited.
    Clock::time_point answerDue() const;

  private:
    enum class Stage { Off, AskingSettings, Starting, Streaming, GivenUp };

    Step giveUp(const std::string& why);

    Stage stage_ = Stage::Off;
    Clock::time_point asked_{};
    std::vector<std::uint8_t> answer_; // the parameters of an answer that comes in parts
    float factor_ = 1.0f;
    DeviceClock clock_{100.0};
    BreathDetector detector_;
    bool toldBadFrame_ = false;
};

} // namespace brix

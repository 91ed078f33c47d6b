// The simulated device: both sensors ready, a pulse of 60/min, a breath every 3 s.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "link/sensor_source.hpp"

namespace brix {

// Posts a fixed six-step pattern, one message every 500 ms from the start.
class SimulatedSource final : public SensorSource {
  public:
    ~SimulatedSource() override;
    bool start(SourceSink& sink, std::string& error) override;
    void stop() override;

  private:
    void run(SourceSink& sink, std::uint32_t start);

    std::mutex mutex_;
    std::condition_variable wake_; // a stop wakes the worker at once
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace brix

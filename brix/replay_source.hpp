// A recorded heart rhythm played at real speed, once or in a loop.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sensor_source.hpp"

namespace brix {

// Hands each interval of the recording over at the moment its beat falls due: the pulse
// sensor ready while it plays, no breath sensor, and "searching" once a recording that does
// not loop has ended.
class ReplaySource final : public SensorSource {
  public:
    ReplaySource(std::shared_ptr<const std::vector<double>> intervalsMs, bool loop);
    ~ReplaySource() override;
    bool start(SourceSink& sink, std::string& error) override;
    void stop() override;

  private:
    void run(SourceSink& sink);

    const std::shared_ptr<const std::vector<double>> intervalsMs_;
    const bool loop_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace brix

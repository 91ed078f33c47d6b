// A recorded heart rhythm played at real speed, once or in a loop.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/sensor_source.hpp"

namespace brix {

// Hands each interval of the recording over at the moment its beat falls due: the pulse
// sensor ready while it plays, and "searching" once a recording that does not loop has ended.
// Without breath values there is no breath sensor; with them, each beat's breathing is handed
// over at its moment, the breath sensor ready where the beat has a value and searching where
// it has none.
class ReplaySource final : public SensorSource {
  public:
    // `breath` runs parallel to the intervals (1 in, 0 out, -1 none), or is null or empty.
    ReplaySource(std::shared_ptr<const std::vector<double>> intervalsMs, bool loop,
                 std::shared_ptr<const std::vector<signed char>> breath = nullptr);
    ~ReplaySource() override;
    bool start(SourceSink& sink, std::string& error) override;
    void stop() override;

  private:
    void run(SourceSink& sink);

    // The breath sensor's state as last handed over; at the beat's moment, before the beat.
    void handBreath(SourceSink& sink, std::size_t beat, std::uint32_t moment);

    const std::shared_ptr<const std::vector<double>> intervalsMs_;
    const bool loop_;
    const std::shared_ptr<const std::vector<signed char>> breath_;
    int breathStatus_ = 0; // as handed over: 1 searching, 2 ready
    bool breathIn_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace brix

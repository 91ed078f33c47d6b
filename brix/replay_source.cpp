// Playing a recording: each beat handed over when it falls due on a clock that never drifts.
#include "replay_source.hpp"

namespace brix {
namespace {

constexpr int kReady = 2;
constexpr int kSearching = 1;
constexpr int kNoSensor = 3;

} // namespace

ReplaySource::ReplaySource(std::shared_ptr<const std::vector<double>> intervalsMs, bool loop)
    : intervalsMs_(std::move(intervalsMs)), loop_(loop) {}

ReplaySource::~ReplaySource() {
    stop();
}

bool ReplaySource::start(SourceSink& sink, std::string& error) {
    if (!intervalsMs_ || intervalsMs_->empty()) {
        error = "the recording holds no intervals";
        return false;
    }
    stopping_ = false;
    try {
        worker_ = std::thread([this, &sink] { run(sink); });
    } catch (const std::exception& e) {
        error = std::string("cannot start the replay: ") + e.what();
        return false;
    }
    return true;
}

void ReplaySource::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

// Beat times are the start plus the sum of the intervals so far, so a late wake-up never
// shifts the beats after it; each beat is stamped with its due time, not the wake-up time.
void ReplaySource::run(SourceSink& sink) {
    const std::vector<double>& intervals = *intervalsMs_;
    sink.status(kReady, kNoSensor);
    auto due = Clock::now();
    std::size_t i = 0;
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (i == intervals.size()) {
            if (!loop_) {
                lock.unlock();
                sink.status(kSearching, kNoSensor); // like a strap that lost contact
                return;
            }
            i = 0;
        }
        due += std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double, std::milli>(intervals[i]));
        if (wake_.wait_until(lock, due, [this] { return stopping_; })) return;
        lock.unlock();
        sink.beat(intervals[i], due);
        lock.lock();
        ++i;
    }
}

} // namespace brix

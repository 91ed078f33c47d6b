// Playing a recording: each beat handed over when it falls due on a clock that never drifts.
#include "sources/replay_source.hpp"

#include <cmath>

#include "brix_message.hpp"
#include "os/post_message.hpp"

namespace brix {
ReplaySource::ReplaySource(std::shared_ptr<const std::vector<double>> intervalsMs, bool loop,
                           std::shared_ptr<const std::vector<signed char>> breath)
    : intervalsMs_(std::move(intervalsMs)), loop_(loop),
      breath_(breath && !breath->empty() ? std::move(breath) : nullptr) {}

ReplaySource::~ReplaySource() {
    stop();
}

bool ReplaySource::start(SourceSink& sink, std::string& error) {
    if (!intervalsMs_ || intervalsMs_->empty()) {
        error = "the recording holds no intervals";
        return false;
    }
    if (breath_ && breath_->size() != intervalsMs_->size()) {
        error = "the recording's breathing does not match its intervals";
        return false;
    }
    stopping_ = false;
    // Told before the first frame can be drawn, so the panels start the same on every run.
    // A breath sensor searches until the first beat brings its breathing.
    if (breath_) {
        breathStatus_ = kStatusSearching;
        breathIn_ = false;
        sink.breath(false, kStatusSearching, programTick());
    }
    sink.status(kStatusReady, breath_ ? SourceSink::kBreathAsStreamed : kStatusNoSensor);
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

// Beat moments are the start plus the sum of the intervals so far, in whole ticks of the
// program's clock, so a late wake-up never shifts the beats after it; each beat is handed over
// with its moment and its own line's interval, not the wake-up time.
void ReplaySource::run(SourceSink& sink) {
    const std::vector<double>& intervals = *intervalsMs_;
    const std::uint32_t start = programTick();
    double sumMs = 0.0;
    std::size_t i = 0;
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (i == intervals.size()) {
            if (!loop_) {
                lock.unlock();
                // Like a strap that lost contact: neither sensor has a signal any more.
                if (breath_ && breathStatus_ != kStatusSearching)
                    sink.breath(false, kStatusSearching, programTick());
                sink.status(kStatusSearching, breath_ ? SourceSink::kBreathAsStreamed : kStatusNoSensor);
                return;
            }
            i = 0;
        }
        sumMs += intervals[i];
        const std::uint32_t moment = start + static_cast<std::uint32_t>(std::llround(sumMs));
        for (;;) {
            const auto left = static_cast<std::int32_t>(moment - programTick());
            if (left <= 0) break;
            if (wake_.wait_for(lock, std::chrono::milliseconds(left), [this] { return stopping_; }))
                return;
        }
        lock.unlock();
        if (breath_) handBreath(sink, i, moment);
        sink.timedBeat(intervals[i], moment);
        lock.lock();
        ++i;
    }
}

// Only changes are handed over: the breathing or the status. A beat without a value after
// beats with one is a breath sensor that lost its signal.
void ReplaySource::handBreath(SourceSink& sink, std::size_t beat, std::uint32_t moment) {
    const signed char value = (*breath_)[beat];
    if (value == 0 || value == 1) {
        if (breathStatus_ == kStatusReady && breathIn_ == (value == 1)) return;
        breathStatus_ = kStatusReady;
        breathIn_ = value == 1;
        sink.breath(breathIn_, kStatusReady, moment);
    } else if (breathStatus_ != kStatusSearching) {
        breathStatus_ = kStatusSearching;
        breathIn_ = false;
        sink.breath(false, kStatusSearching, moment);
    }
}

} // namespace brix

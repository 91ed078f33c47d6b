// The accelerometer's start-up dialogue and the path from its frames to breath changes.
#include "bluetooth/breath_stream.hpp"

#include <cmath>

#include "bluetooth/pmd_frame.hpp"

namespace brix {

BreathStream::Step BreathStream::begin(Clock::time_point now) {
    stage_ = Stage::AskingSettings;
    asked_ = now;
    answer_.clear();
    factor_ = 1.0f;
    return {pmd::getSettingsCommand(pmd::kAccelerometer), {}, false};
}

void BreathStream::end() {
    stage_ = Stage::Off;
}

Clock::time_point BreathStream::answerDue() const {
    if (stage_ != Stage::AskingSettings && stage_ != Stage::Starting)
        return Clock::time_point::max();
    return asked_ + kAnswerWait;
}

BreathStream::Step BreathStream::giveUp(const std::string& why) {
    stage_ = Stage::GivenUp;
    return {{}, why, false};
}

BreathStream::Step BreathStream::onTimeout(Clock::time_point now) {
    if (now < answerDue()) return {};
    return giveUp("the strap did not answer the accelerometer's " +
                  std::string(stage_ == Stage::Starting ? "start" : "settings request"));
}

BreathStream::Step BreathStream::onAnswer(const std::uint8_t* data, std::size_t size,
                                          Clock::time_point now) {
    const pmd::ControlPointAnswer answer = pmd::parseControlPointAnswer(data, size);
    // Answers to commands of other clients, or to none, are not this dialogue's.
    if (!answer.valid || answer.measurementType != pmd::kAccelerometer) return {};
    const bool settings = stage_ == Stage::AskingSettings && answer.opCode == pmd::kGetSettings;
    const bool start = stage_ == Stage::Starting && answer.opCode == pmd::kStart;
    if (!settings && !start) return {};
    if (answer.status != pmd::kStatusSuccess)
        return giveUp("the strap refused the accelerometer's " +
                      std::string(start ? "start" : "settings request") + " (status " +
                      std::to_string(answer.status) + ")");
    answer_.insert(answer_.end(), answer.parameters.begin(), answer.parameters.end());
    if (answer.more) return {}; // the rest follows in the next indication
    const pmd::Settings list = pmd::parseSettings(answer_.data(), answer_.size());
    answer_.clear();
    if (!list.valid)
        return giveUp("the strap's accelerometer " +
                      std::string(start ? "start answer" : "settings") + " cannot be read (" +
                      list.error + ")");
    if (settings) {
        const auto choice = pmd::chooseAccelerometer(list);
        if (!choice)
            return giveUp("the strap's accelerometer offers no 16-bit setting of 50 Hz or more");
        clock_ = DeviceClock(choice->sampleRateHz);
        stage_ = Stage::Starting;
        asked_ = now;
        return {pmd::startAccelerometerCommand(*choice), {}, false};
    }
    factor_ = list.factor.value_or(1.0f);
    stage_ = Stage::Streaming;
    clock_.reset();
    detector_.reset();
    return {{}, {}, true};
}

std::vector<BreathStream::Change> BreathStream::onData(const std::uint8_t* data, std::size_t size,
                                                       std::int64_t arrivalNs,
                                                       std::string& problem) {
    std::vector<Change> changes;
    if (stage_ != Stage::Streaming) return changes;
    const pmd::AccFrame frame = pmd::parseAccFrame(data, size, factor_);
    if (!frame.valid) {
        if (!toldBadFrame_) problem = "an accelerometer frame cannot be read (" + frame.error + ")";
        toldBadFrame_ = true;
        return changes;
    }
    const std::vector<std::int64_t> times =
        clock_.sampleTimes(frame.deviceTimeNs, frame.samples.size(), arrivalNs);
    for (std::size_t i = 0; i < frame.samples.size() && i < times.size(); ++i) {
        const pmd::AccSample& s = frame.samples[i];
        // A change keeps its own moment (a turn is sure only some time after it came).
        if (detector_.add(static_cast<double>(times[i]) * 1e-9, s.x, s.y, s.z))
            changes.push_back({detector_.breathingIn(), detector_.status(),
                               static_cast<std::int64_t>(std::llround(detector_.changeTimeS() * 1e9))});
    }
    return changes;
}

} // namespace brix

// Reading the measurement-data service's answers and accelerometer frames, bounds-checked.
#include "bluetooth/pmd_frame.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace brix::pmd {

namespace {

// Setting types of a settings list, and the bytes each value takes.
constexpr std::uint8_t kSampleRate = 0;
constexpr std::uint8_t kResolution = 1;
constexpr std::uint8_t kRange = 2;
constexpr std::uint8_t kRangeMilliUnit = 3;
constexpr std::uint8_t kChannels = 4;
constexpr std::uint8_t kFactor = 5;

std::size_t valueSize(std::uint8_t settingType) {
    switch (settingType) {
    case kSampleRate:
    case kResolution:
    case kRange: return 2;
    case kRangeMilliUnit:
    case kFactor: return 4;
    case kChannels: return 1;
    default: return 0;
    }
}

std::uint32_t readLittleEndian(const std::uint8_t* at, std::size_t bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return value;
}

std::int32_t readInt16(const std::uint8_t* at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(readLittleEndian(at, 2)));
}

// Frame layout: type, 8 bytes of time, frame type, then the samples.
constexpr std::size_t kFrameHeader = 10;
constexpr std::uint8_t kRaw16 = 0x01;
constexpr std::uint8_t kDeltaInG = 0x80;
constexpr std::uint8_t kDelta16 = 0x81;
constexpr std::size_t kAxes = 3;
// Wider deltas than this cannot come from 16-bit samples; the reader's accumulators would
// still be safe, but such a block is corrupt.
constexpr unsigned kWidestDelta = 32;

template <typename Result> Result refused(const char* why) {
    Result result;
    result.error = why;
    return result;
}

// Reads `width` bits starting at bit `bit`, least significant bit first, as a signed value.
std::int64_t readSignedBits(const std::uint8_t* bytes, std::size_t bit, unsigned width) {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i, ++bit)
        value |= static_cast<std::uint64_t>((bytes[bit / 8] >> (bit % 8)) & 1u) << i;
    if (width > 0 && (value >> (width - 1)) & 1u) value |= ~std::uint64_t{0} << width;
    return static_cast<std::int64_t>(value);
}

bool readDeltaSamples(const std::uint8_t* data, std::size_t size, AccFrame& frame,
                      float scale) {
    constexpr std::size_t kReference = kAxes * 2;
    if (size < kReference) {
        frame.error = "reference sample cut short";
        return false;
    }
    std::int64_t current[kAxes];
    for (std::size_t axis = 0; axis < kAxes; ++axis) current[axis] = readInt16(data + 2 * axis);
    auto keep = [&] {
        frame.samples.push_back({static_cast<float>(current[0]) * scale,
                                 static_cast<float>(current[1]) * scale,
                                 static_cast<float>(current[2]) * scale});
    };
    keep();
    std::size_t at = kReference;
    while (at < size) {
        if (size - at < 2) {
            frame.error = "delta block header cut short";
            return false;
        }
        const unsigned width = data[at];
        const std::size_t count = data[at + 1];
        at += 2;
        if (width > kWidestDelta) {
            frame.error = "delta wider than 32 bits";
            return false;
        }
        const std::size_t bytes = (width * count * kAxes + 7) / 8;
        if (size - at < bytes) {
            frame.error = "delta block runs past the frame";
            return false;
        }
        std::size_t bit = 0;
        for (std::size_t sample = 0; sample < count; ++sample) {
            for (std::size_t axis = 0; axis < kAxes; ++axis, bit += width) {
                current[axis] += readSignedBits(data + at, bit, width);
                // A sum outside 16 bits cannot be a sample: the deltas are corrupt.
                if (current[axis] < std::numeric_limits<std::int16_t>::min() ||
                    current[axis] > std::numeric_limits<std::int16_t>::max()) {
                    frame.error = "deltas leave the 16-bit range";
                    return false;
                }
            }
            keep();
        }
        at += bytes;
    }
    return true;
}

} // namespace

ControlPointAnswer parseControlPointAnswer(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 4) return refused<ControlPointAnswer>("shorter than an answer");
    if (data[0] != kAnswerCode) return refused<ControlPointAnswer>("not an answer");
    ControlPointAnswer answer;
    answer.opCode = data[1];
    answer.measurementType = data[2];
    answer.status = data[3];
    // A failed operation ends at its status; anything after it means nothing.
    if (answer.status == kStatusSuccess && size > 4) {
        answer.more = data[4] != 0;
        answer.parameters.assign(data + 5, data + size);
    }
    answer.valid = true;
    return answer;
}

Settings parseSettings(const std::uint8_t* data, std::size_t size) {
    Settings settings;
    std::size_t at = 0;
    while (data != nullptr && at < size) {
        if (size - at < 2) return refused<Settings>("setting entry cut short");
        const std::uint8_t type = data[at];
        const std::size_t count = data[at + 1];
        at += 2;
        const std::size_t bytes = valueSize(type);
        if (bytes == 0) return refused<Settings>("unknown setting type");
        if ((size - at) / bytes < count) return refused<Settings>("setting values cut short");
        for (std::size_t i = 0; i < count; ++i, at += bytes) {
            const std::uint32_t value = readLittleEndian(data + at, bytes);
            switch (type) {
            case kSampleRate: settings.sampleRatesHz.push_back(static_cast<int>(value)); break;
            case kResolution: settings.resolutionsBits.push_back(static_cast<int>(value)); break;
            case kRange: settings.rangesG.push_back(static_cast<int>(value)); break;
            case kChannels: settings.channels.push_back(static_cast<int>(value)); break;
            case kFactor: {
                float factor;
                std::memcpy(&factor, &value, sizeof factor); // IEEE 754 single, little-endian
                if (!std::isfinite(factor) || factor <= 0.0f)
                    return refused<Settings>("factor not a positive number");
                settings.factor = factor;
                break;
            }
            default: break; // the range in milli-units: the range in G says enough
            }
        }
    }
    settings.valid = true;
    return settings;
}

std::optional<AccelerometerChoice> chooseAccelerometer(const Settings& offered) {
    if (!offered.valid) return std::nullopt;
    const auto& rates = offered.sampleRatesHz;
    auto has = [](const std::vector<int>& list, int value) {
        return std::find(list.begin(), list.end(), value) != list.end();
    };
    AccelerometerChoice choice;
    if (has(rates, 100)) {
        choice.sampleRateHz = 100;
    } else if (has(rates, 200)) {
        choice.sampleRateHz = 200;
    } else {
        for (const int rate : rates)
            if (rate >= 50 && (choice.sampleRateHz == 0 || rate < choice.sampleRateHz))
                choice.sampleRateHz = rate;
        if (choice.sampleRateHz == 0) return std::nullopt;
    }
    if (!offered.resolutionsBits.empty()) {
        if (!has(offered.resolutionsBits, 16)) return std::nullopt;
        choice.resolutionBits = 16;
    }
    for (const int range : offered.rangesG)
        if (range > 0 && (choice.rangeG == 0 || range < choice.rangeG)) choice.rangeG = range;
    return choice;
}

std::vector<std::uint8_t> getSettingsCommand(std::uint8_t measurementType) {
    return {kGetSettings, measurementType};
}

std::vector<std::uint8_t> startAccelerometerCommand(const AccelerometerChoice& choice) {
    std::vector<std::uint8_t> command{kStart, kAccelerometer};
    auto entry = [&](std::uint8_t type, int value) {
        if (value <= 0) return;
        const auto bits = static_cast<unsigned>(value);
        // One byte at a time: GCC 12 at -O3 warns falsely of an overflow in an initializer-list
        // insert, which would stop the Release build of the benchmarks.
        for (const std::uint8_t byte :
             {type, std::uint8_t{1}, static_cast<std::uint8_t>(bits & 0xFF),
              static_cast<std::uint8_t>((bits >> 8) & 0xFF)})
            command.push_back(byte);
    };
    entry(kSampleRate, choice.sampleRateHz);
    entry(kResolution, choice.resolutionBits);
    entry(kRange, choice.rangeG);
    return command;
}

std::vector<std::uint8_t> stopCommand(std::uint8_t measurementType) {
    return {kStop, measurementType};
}

AccFrame parseAccFrame(const std::uint8_t* data, std::size_t size, float factor) {
    if (data == nullptr || size < kFrameHeader) return refused<AccFrame>("shorter than a header");
    if (data[0] != kAccelerometer) return refused<AccFrame>("not an accelerometer frame");
    if (!std::isfinite(factor) || factor <= 0.0f) return refused<AccFrame>("no usable factor");
    AccFrame frame;
    frame.deviceTimeNs = static_cast<std::uint64_t>(readLittleEndian(data + 1, 4)) |
                         static_cast<std::uint64_t>(readLittleEndian(data + 5, 4)) << 32;
    frame.frameType = data[9];
    const std::uint8_t* content = data + kFrameHeader;
    const std::size_t contentSize = size - kFrameHeader;
    switch (frame.frameType) {
    case kRaw16: {
        constexpr std::size_t kSampleBytes = kAxes * 2;
        if (contentSize == 0) return refused<AccFrame>("no samples");
        if (contentSize % kSampleBytes != 0) return refused<AccFrame>("a sample cut short");
        frame.samples.reserve(contentSize / kSampleBytes);
        for (std::size_t at = 0; at < contentSize; at += kSampleBytes)
            frame.samples.push_back({static_cast<float>(readInt16(content + at)),
                                     static_cast<float>(readInt16(content + at + 2)),
                                     static_cast<float>(readInt16(content + at + 4))});
        break;
    }
    case kDeltaInG:
        if (!readDeltaSamples(content, contentSize, frame, factor * 1000.0f)) {
            frame.samples.clear();
            return frame;
        }
        break;
    case kDelta16:
        if (!readDeltaSamples(content, contentSize, frame, factor)) {
            frame.samples.clear();
            return frame;
        }
        break;
    default: return refused<AccFrame>("frame type not read");
    }
    frame.valid = true;
    return frame;
}

} // namespace brix::pmd

// The measurement-data service of a chest strap: control-point answers, the accelerometer's
// settings and start command, and its data frames, read exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brix::pmd {

// Every answer on the control point starts with this byte.
constexpr std::uint8_t kAnswerCode = 0xF0;

// Control-point operations the client writes (the first byte of a command).
constexpr std::uint8_t kGetSettings = 0x01;
constexpr std::uint8_t kStart = 0x02;
constexpr std::uint8_t kStop = 0x03;

// Measurement types; only the accelerometer is read here.
constexpr std::uint8_t kAccelerometer = 0x02;

constexpr std::uint8_t kStatusSuccess = 0x00;

struct ControlPointAnswer {
    bool valid = false;
    std::string error;                    // why the answer was refused (valid false)
    std::uint8_t opCode = 0;              // the operation answered
    std::uint8_t measurementType = 0;
    std::uint8_t status = 0;              // kStatusSuccess or an error code of the strap
    bool more = false;                    // further answers carry more parameters
    std::vector<std::uint8_t> parameters; // what follows the more byte (success only)
};

// Reads one indication of the control point: F0, op code, type, status, then on success the
// more byte and the parameters. An answer shorter than its four fixed bytes is refused.
ControlPointAnswer parseControlPointAnswer(const std::uint8_t* data, std::size_t size);

// A settings list: what a settings answer offers, or what a start answer confirms.
struct Settings {
    bool valid = false;
    std::string error;
    std::vector<int> sampleRatesHz;
    std::vector<int> resolutionsBits;
    std::vector<int> rangesG;
    std::vector<int> channels;
    std::optional<float> factor; // the scale of compressed samples (start answer only)
};

// Reads entries of setting type, count and count values (sizes fixed per type). An unknown
// type cannot be skipped, since its size is unknown, so it refuses the list, as does a
// count that runs past the end.
Settings parseSettings(const std::uint8_t* data, std::size_t size);

struct AccelerometerChoice {
    int sampleRateHz = 0;
    int resolutionBits = 0; // 0: the strap names none, so none is sent
    int rangeG = 0;         // 0: likewise
};

// What the breath detector wants: 16-bit samples, the smallest range (breathing is a few
// tens of mG) and at least 50 Hz, 100 Hz or else 200 Hz preferred (enough to average the
// noise down, little to carry). None when the strap offers no such rate or no 16 bits.
std::optional<AccelerometerChoice> chooseAccelerometer(const Settings& offered);

// The commands, ready to write.
std::vector<std::uint8_t> getSettingsCommand(std::uint8_t measurementType);
std::vector<std::uint8_t> startAccelerometerCommand(const AccelerometerChoice& choice);
std::vector<std::uint8_t> stopCommand(std::uint8_t measurementType);

// One accelerometer sample, in mG along the strap's axes (z points out of the chest).
struct AccSample {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct AccFrame {
    bool valid = false;
    std::string error;
    std::uint64_t deviceTimeNs = 0; // the strap's clock at the frame's LAST sample
    std::uint8_t frameType = 0;
    std::vector<AccSample> samples; // in order; the last one is stamped deviceTimeNs
};

// Reads one notification of the data characteristic: type byte, 64-bit time, frame type,
// then the samples: 0x01 raw x, y, z as int16 mG; 0x80 and 0x81 a reference sample and
// blocks of bit width, count and packed deltas. `factor` is the one the start answer gave
// (compressed samples are scaled by it; 0x80 counts in G). Anything short, inconsistent or
// of another measurement is refused whole.
AccFrame parseAccFrame(const std::uint8_t* data, std::size_t size, float factor = 1.0f);

} // namespace brix::pmd

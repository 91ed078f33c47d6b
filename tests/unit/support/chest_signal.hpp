// A synthetic chest-strap accelerometer driven by a known breathing, for the breath tests and bench.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

enum class BreathShape {
    Sine,      // smooth, no holds: the hardest turns to place
    Paced,     // in 30 %, hold 10 %, out 40 %, hold 20 %, as a pacer asks
    Asymmetric // quick in (35 %), long out, no holds
};

struct ChestOptions {
    double breathsPerMinute = 6.0;
    BreathShape shape = BreathShape::Sine;
    double swingMg = 20.0;        // peak-to-peak tilt of gravity along the breath
    double sampleRateHz = 100.0;
    double heartRippleMg = 3.0;   // peak of each beat's ripple
    double heartBpm = 66.0;
    double noiseMg = 2.0;         // RMS, white, per axis
    std::uint32_t seed = 1;
    // Movement bursts (start, length in s): the strap shaken by tens to hundreds of mG.
    std::vector<std::pair<double, double>> movements;
    // A change of posture at this time (s; negative: none): gravity and the breathing
    // direction both turn by about 35 degrees within 2 s, with a movement around it.
    double postureChangeS = -1.0;
};

struct ChestSample {
    double timeS;
    double x, y, z; // mG
};

class ChestSignal {
  public:
    explicit ChestSignal(const ChestOptions& options);

    // The samples of [0, seconds), in order.
    std::vector<ChestSample> samples(double seconds);

    // The known breathing: in from the start of an inhale to the start of the exhale (a
    // hold keeps the breath's last direction).
    bool breathingIn(double timeS) const;
    // The starts of the inhales and exhales in [0, seconds).
    std::vector<double> turns(double seconds) const;
    // Whether the strap is being moved at this time (bursts and the posture change).
    bool moving(double timeS) const;

  private:
    double fullness(double timeS) const; // 0 empty .. 1 full
    ChestOptions options_;
    std::mt19937 random_;
};

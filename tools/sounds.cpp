// The cue sounds: soft tones per breathing phase and a clear but gentle warning.
#include <cmath>
#include <vector>

#include "canvas.hpp"
#include "images.hpp"

namespace {

// A raised-cosine fade in over `attack` seconds and out over the last `release` seconds.
double envelope(double t, double length, double attack, double release) {
    double e = 1.0;
    if (t < attack) e *= 0.5 - 0.5 * std::cos(M_PI * t / attack);
    if (t > length - release) e *= 0.5 - 0.5 * std::cos(M_PI * std::max(0.0, length - t) / release);
    return e;
}

// A tone gliding exponentially from f0 to f1, with a little octave and twelfth for warmth.
std::vector<double> glide(double f0, double f1, double length, double peak) {
    std::vector<double> out;
    double phase = 0;
    const int n = static_cast<int>(length * kSampleRate);
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double f = f0 * std::pow(f1 / f0, t / length);
        phase += 2 * M_PI * f / kSampleRate;
        const double voice =
            std::sin(phase) + 0.16 * std::sin(2 * phase) + 0.05 * std::sin(3 * phase);
        out.push_back(peak * envelope(t, length, 0.04, 0.16) * voice / 1.21);
    }
    return out;
}

// A small bell: inharmonic partials that die away, the higher ones sooner.
std::vector<double> chime(double f, double length, double peak) {
    struct Partial {
        double ratio, amplitude, decay;
    };
    const Partial partials[] = {
        {1.0, 1.0, 0.16}, {2.0, 0.30, 0.09}, {2.76, 0.14, 0.06}, {5.40, 0.05, 0.035}};
    std::vector<double> out;
    const int n = static_cast<int>(length * kSampleRate);
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        double v = 0;
        for (const Partial& p : partials)
            v += p.amplitude * std::exp(-t / p.decay) * std::sin(2 * M_PI * f * p.ratio * t);
        out.push_back(peak * envelope(t, length, 0.004, 0.05) * v / 1.49);
    }
    return out;
}

// A low, round tone that swells and fades.
std::vector<double> hum(double f, double length, double peak) {
    std::vector<double> out;
    const int n = static_cast<int>(length * kSampleRate);
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double w = 2 * M_PI * f * t;
        const double v = std::sin(w) + 0.28 * std::sin(2 * w) + 0.08 * std::sin(3 * w);
        out.push_back(peak * envelope(t, length, 0.06, 0.22) * v / 1.36);
    }
    return out;
}

// Two short descending beeps: plainly a warning, rounded so it does not bite.
std::vector<double> warning() {
    std::vector<double> out;
    const auto beep = [&](double f, double length) {
        const int n = static_cast<int>(length * kSampleRate);
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / kSampleRate;
            const double w = 2 * M_PI * f * t;
            const double v = std::sin(w) + 0.22 * std::sin(3 * w) + 0.10 * std::sin(2 * w);
            out.push_back(0.42 * envelope(t, length, 0.008, 0.035) * v / 1.32);
        }
    };
    beep(740, 0.12);
    out.insert(out.end(), static_cast<std::size_t>(0.045 * kSampleRate), 0.0);
    beep(554, 0.16);
    return out;
}

bool write(const std::string& path, std::vector<double> samples) {
    samples.insert(samples.end(), static_cast<std::size_t>(0.01 * kSampleRate), 0.0);
    return writeWav(path, samples);
}

} // namespace

bool makeSounds(const std::string& folder) {
    bool ok = write(folder + "/1.wav", glide(392.0, 587.3, 0.38, 0.34));  // inhale: rising
    ok = write(folder + "/2.wav", chime(1046.5, 0.48, 0.42)) && ok;       // pause: a chime
    ok = write(folder + "/3.wav", glide(587.3, 392.0, 0.42, 0.34)) && ok; // exhale: falling
    ok = write(folder + "/4.wav", hum(196.0, 0.40, 0.40)) && ok;          // pause: low and soft
    ok = write(folder + "/error.wav", warning()) && ok;
    return ok;
}

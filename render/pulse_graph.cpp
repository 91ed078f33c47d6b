// The pulse graph: heart rate over the session with its highest and lowest rate beside it.
#include "render/pulse_graph.hpp"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "gui/gui.hpp"
#include "platform/cp1251.hpp"
#include "render/hide_toggles.hpp"

namespace {

constexpr std::int32_t kMaxRate = 999; // three digits
constexpr float kLeft = -0.6f, kRight = 0.6f, kBottom = -0.6f, kTop = -0.1f;

// Places a rate on the panel's height; when all rates are equal the curve runs along the
// middle of the panel.
struct RateScale {
    float low, high;
    float y(float rate) const {
        if (!(high > low)) return (kBottom + kTop) / 2.0f;
        return kBottom + (kTop - kBottom) * (rate - low) / (high - low);
    }
};

void vertex(float red, float green, float blue, float x, float y, float z) {
    glColor4f(red, green, blue, 1.0f);
    glVertex3f(x, y, z);
}

float pointX(std::size_t step, std::size_t count) {
    return static_cast<float>(kLeft + (kRight - kLeft) * static_cast<double>(step) /
                                          static_cast<double>(count));
}

} // namespace

std::int32_t labelRate(float intervalMs) {
    if (!(intervalMs >= 1.0f)) return kMaxRate;
    if (intervalMs > 60000.0f) return 0;
    const auto wholeMs = static_cast<std::int32_t>(intervalMs);
    return std::min(60000 / wholeMs, kMaxRate);
}

RateLabel rateLabel(std::int32_t rate) {
    const std::int32_t n = std::clamp(rate, 0, kMaxRate);
    RateLabel label{};
    const std::string_view unit = "   уд/мин"_cp1251v;
    std::copy(unit.begin(), unit.end(), label.bytes.begin());
    label.bytes[0] = n / 100 != 0 ? static_cast<char>('0' + n / 100) : ' ';
    label.bytes[1] = static_cast<char>('0' + n % 100 / 10);
    label.bytes[2] = static_cast<char>('0' + n % 10);
    return label;
}

float curveRate(float intervalMs) {
    constexpr float shortest = 60000.0f / static_cast<float>(kMaxRate);
    if (!(intervalMs > shortest)) return static_cast<float>(kMaxRate);
    return 60000.0f / intervalMs;
}

void Gui::drawPulseGraph() const {
    const bool shown = isShown(*this, HideToggle::PulseGraph);
    if (shown) {
        // In the tint left by the inner panel.
        glBegin(GL_QUADS);
        glVertex3f(kLeft, kTop, -0.01f);
        glVertex3f(kLeft, kBottom, -0.01f);
        glVertex3f(kRight, kBottom, -0.01f);
        glVertex3f(kRight, kTop, -0.01f);
        glEnd();
    }
    glEnable(GL_TEXTURE_2D);
    if (!shown) return;

    // Mode 1 shows the cycle means; every other mode the beat intervals without the first,
    // which spans the pause before the session (the list holds no interval across a gap).
    const bool cycleMode = pulseIntervalMode == 1;
    const bool rawMode = pulseIntervalMode == 0;
    const std::vector<float>& list = cycleMode ? session.cycleMeans : session.beatIntervals;
    const std::size_t first = cycleMode ? 0 : 1;
    const std::size_t needed = cycleMode ? 2 : 3;
    const std::size_t n = list.size();
    if (n < needed) return;

    const auto [minIt, maxIt] =
        std::minmax_element(list.begin() + static_cast<long>(first), list.end());
    const float minInterval = *minIt, maxInterval = *maxIt;

    glColor4f(0.0f, 0.1f, 0.9f, 1.0f);
    drawText(0.4f, -0.08f, 0.05f, rateLabel(labelRate(minInterval)).view());
    drawText(0.4f, -0.62f, 0.05f, rateLabel(labelRate(maxInterval)).view());

    const RateScale scale{curveRate(maxInterval), curveRate(minInterval)};
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    // Frame and curve are one strip, so a line joins the frame's top-left corner to the
    // first point.
    glBegin(GL_LINE_STRIP);
    vertex(0.3f, 0.1f, 0.2f, kLeft, kTop, -0.02f);
    vertex(0.0f, 0.3f, 0.1f, kLeft, kBottom, -0.02f);
    vertex(0.5f, 0.1f, 0.5f, kRight, kBottom, -0.02f);
    vertex(0.2f, 0.6f, 0.0f, kRight, kTop, -0.02f);
    vertex(0.0f, 0.7f, 0.9f, kLeft, kTop, -0.02f);
    glColor4f(0.0f, 0.1f, 0.9f, 1.0f);
    constexpr float z = -0.05f;
    if (cycleMode) {
        for (std::size_t i = 0; i < n; ++i)
            glVertex3f(pointX(i, n), scale.y(curveRate(list[i])), z);
    } else if (rawMode) {
        for (std::size_t i = 1; i < n; ++i)
            glVertex3f(pointX(i - 1, n), scale.y(curveRate(list[i])), z);
    } else {
        // The mean rate of the ten beats from i - 1 on.
        for (std::size_t i = 2; i + 8 < n; ++i) {
            float sum = 0.0f;
            for (std::size_t k = i - 1; k <= i + 8; ++k)
                sum += curveRate(list[k]);
            glVertex3f(pointX(i - 2, n), scale.y(sum / 10.0f), z);
        }
    }
    glEnd();
}

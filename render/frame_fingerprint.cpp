// The frame fingerprint: an FNV-1a hash over the state the menu and training drawing read.
#include "render/frame_fingerprint.hpp"

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "gui/gui.hpp"
#include "render/training_screen_state.hpp"

namespace {

class Hash {
public:
    template <typename T> Hash& add(const T& value) {
        static_assert(std::is_arithmetic_v<T> || std::is_pointer_v<T>);
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (const unsigned char b : bytes) value_ = (value_ ^ b) * 0x100000001b3ULL;
        return *this;
    }
    template <typename T> Hash& add(const std::vector<T>& values) {
        add(values.size());
        for (const T& v : values) add(v);
        return *this;
    }
    Hash& add(const std::string& text) {
        add(text.size());
        for (const char c : text) add(c);
        return *this;
    }
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 0xcbf29ce484222325ULL;
};

// A highlight that has faded so far that the drawn edges are those of no highlight counts as
// none: it fades on towards zero for half a minute more, and no frame would show it. Edges
// are computed as the menu drawing computes them; rounding is monotone, so every smaller
// highlight gives the same edges too.
float visibleGrow(float grow, float centre, float half) {
    const float w = grow * half;
    if (centre - half - w == centre - half && centre + half + w == centre + half) return 0.0f;
    return grow;
}

// The fields the three button kinds share.
template <typename Button> void addButton(Hash& h, const Button& b) {
    h.add(b.x).add(b.y).add(b.halfWidth).add(b.halfHeight).add(b.red).add(b.green).add(b.blue);
    h.add(b.alpha).add(visibleGrow(b.growX, b.x, b.halfWidth));
    h.add(visibleGrow(b.growY, b.y, b.halfHeight)).add(b.fadeDivisor).add(b.hovered);
    h.add(b.visible).add(b.caption);
}

} // namespace

std::uint64_t widgetFingerprint(const MenuItem& item) {
    Hash h;
    addButton(h, item);
    return h.value();
}

std::uint64_t widgetFingerprint(const ListButton& row) {
    Hash h;
    addButton(h, row);
    h.add(row.selected).add(row.selectedRed).add(row.selectedGreen).add(row.selectedBlue);
    h.add(row.group);
    return h.value();
}

std::uint64_t widgetFingerprint(const SmallButton& button) {
    Hash h;
    addButton(h, button);
    h.add(button.raised).add(button.checkedRed).add(button.checkedGreen);
    h.add(button.checkedBlue);
    return h.value();
}

std::uint64_t widgetFingerprint(const Panel& p) {
    Hash h;
    h.add(p.x).add(p.y).add(p.halfWidth).add(p.halfHeight).add(p.red).add(p.green);
    h.add(p.blue).add(p.alpha).add(p.visible).add(p.title).add(p.index);
    return h.value();
}

std::uint64_t menuFrameFingerprint(const Gui& g) {
    Hash h;
    h.add(g.inMenu).add(g.menuTexture).add(g.fontTexture).add(g.barTexture);
    h.add(g.backgroundTexture);
    h.add(g.menuCenterX).add(g.menuCenterY).add(g.menuScaleX).add(g.menuScaleY);
    h.add(g.menuTargetScaleX).add(g.menuTargetScaleY);
    h.add(g.menuItems.size()).add(g.listButtons.size()).add(g.smallButtons.size());
    h.add(g.panels.size());
    return h.value();
}

std::uint64_t menuFingerprint(const Gui& g) {
    Hash h;
    h.add(menuFrameFingerprint(g));
    for (const MenuItem& item : g.menuItems) h.add(widgetFingerprint(item));
    for (const ListButton& row : g.listButtons) h.add(widgetFingerprint(row));
    for (const SmallButton& button : g.smallButtons) h.add(widgetFingerprint(button));
    for (const Panel& p : g.panels) h.add(widgetFingerprint(p));
    return h.value();
}

std::uint64_t frameFingerprint(const Gui& g) {
    Hash h;
    h.add(menuFingerprint(g)).add(g.backgroundPhase).add(g.pulseIntervalMode);
    for (const Panel& p : g.panels) {
        h.add(p.statusRed).add(p.statusGreen).add(p.statusBlue).add(p.statusAlpha);
        h.add(p.status);
    }

    const SensorState& s = g.sensor;
    h.add(s.breathOn).add(s.pulseOn).add(s.deviceId).add(s.statusByte).add(s.breathStatus);
    h.add(s.pulseStatus).add(s.breathArmed).add(s.pulseArmed).add(s.breathIndicator);
    h.add(s.pulseIndicator).add(s.pendingBeats.size()); // a beat waiting changes the picture

    const TrainingSession& t = g.session;
    for (std::size_t k = 0; k < 4; ++k) h.add(t.phaseBeats[k]).add(t.phaseGlow[k]);
    h.add(t.phaseChanged).add(t.beatInPhase).add(t.phase).add(t.cyclesLeft).add(t.cyclesSetting);
    h.add(t.goal).add(t.level).add(t.cycleTimeMs).add(t.cycleMeans).add(t.beatIntervals);

    const TrainingScreenState& screen = trainingScreenState();
    h.add(screen.barFill).add(screen.pacerRadius).add(screen.breathRadius);
    return h.value();
}

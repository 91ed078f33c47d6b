// Decoding of sensor messages into the SensorState, and the status words on the panels.
#include "sensor/sensor_state.hpp"

#include "gui/gui.hpp"
#include "platform/cp1251.hpp"
#include "platform/events.hpp"
#include "platform/message_box.hpp"
#include "platform/ticks.hpp"
#include "brix_message.hpp"

namespace {

constexpr int kBreathPanelIndex = 1;
constexpr int kPulsePanelIndex = 2;

// One signal's edge rule: the first rise after a reset does not flash the indicator; every
// rise after a fall sets it to exactly 1.0. True for such an armed rise (a pulse beat).
bool applyEdge(bool signal, bool& on, float& armed, float& indicator) {
    bool armedRise = false;
    if (signal && !on) {
        on = true;
        armedRise = armed != 0.0f;
        if (armedRise) indicator = 1.0f;
        armed = 0.0f;
    } else if (!signal && on) {
        on = false;
        armed = 1.0f;
        indicator = 0.5f;
    }
    return armedRise;
}

} // namespace

void SensorState::reset() { *this = SensorState{}; }

void SensorState::onMessage(std::uintptr_t wParam, std::intptr_t lParam) {
    onMessage(wParam, lParam, tickMs());
}

void SensorState::onMessage(std::uintptr_t wParam, std::intptr_t lParam, std::uint32_t tick) {
    const SensorMessage message = decodeSensorMessage(wParam, lParam);
    const auto id = static_cast<std::int32_t>(message.device);
    if (message.deviceLost) {
        deviceId = 0;
        statusByte = 0;
        showMessageBox("Прибор отключен во время работы программы."_cp1251, "Ошибка"_cp1251,
                       MessageBoxButtons::OkCancel);
        Event close;
        close.kind = Event::Kind::Close;
        sendEvent(close);
    }
    if (deviceId == 0) deviceId = id;
    if (id != deviceId) return;

    const auto status = static_cast<std::int32_t>(statusByteOf(lParam));
    if (status != statusByte) {
        breathStatus = message.breathStatus;
        pulseStatus = message.pulseStatus;
        statusByte = status;
    }
    if (pulseStatus != kStatusReady) notReadySinceBeat = true;
    applyEdge(message.breathIn, breathOn, breathArmed, breathIndicator);
    if (applyEdge(message.pulseHigh, pulseOn, pulseArmed, pulseIndicator)) {
        // A rise that carries its interval says itself whether it reaches across a gap.
        const std::uint32_t intervalMs = message.beatIntervalMs;
        const bool counts = intervalMs != 0 ? !message.beatAfterGap : !notReadySinceBeat;
        pendingBeats.push_back({tick, intervalMs, counts});
        notReadySinceBeat = false;
    }
}

std::optional<StatusPresentation> presentStatus(std::int32_t code) {
    switch (code) {
    case -1: return StatusPresentation{"Oтключен"_cp1251, 1, 0, 0}; // Latin O, as always shown
    case kStatusSwitchingOn: return StatusPresentation{"Включение"_cp1251, 1, 0, 0};
    case kStatusSearching: return StatusPresentation{"Поиск сигнала"_cp1251, 0, 1, 1};
    case kStatusReady: return StatusPresentation{"Готов"_cp1251, 0, 1, 0};
    default: return std::nullopt;
    }
}

void SensorState::updatePanels() {
    if (const auto pulse = presentStatus(pulseStatus))
        gui.setPanelStatus(kPulsePanelIndex, pulse->red, pulse->green, pulse->blue, pulseIndicator,
                           pulse->word);
    if (const auto breath = presentStatus(breathStatus))
        gui.setPanelStatus(kBreathPanelIndex, breath->red, breath->green, breath->blue,
                           breathIndicator, breath->word);
}

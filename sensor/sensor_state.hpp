// The decoded state of the sensor device and its presentation on the two sensor panels.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// One pulse beat decoded and not yet stepped on by the pacer.
struct SensorBeat {
    std::uint32_t tick = 0;       // its moment, ms on the clock of tickMs()
    std::uint32_t intervalMs = 0; // as the sensor measured it; 0: measure it by the ticks
    bool counts = true;           // false: its interval reaches across a pulse not ready
};

// Status codes: -1 nothing received yet, 0 switching on, 1 searching for a signal, 2 ready;
// 3 has no meaning and leaves the panel as it is.
struct SensorState {
    bool breathOn = false;
    bool pulseOn = false;
    std::int32_t deviceId = 0;
    std::int32_t statusByte = 0;
    void* window = nullptr;
    std::int32_t breathStatus = -1;
    std::int32_t pulseStatus = -1;
    float breathArmed = 0.0f;
    float pulseArmed = 0.0f;
    float breathIndicator = 0.5f;
    float pulseIndicator = 0.5f;
    // The pulse beats decoded since the last frame took them, oldest first: every armed
    // rise counts, however many arrive between two frames.
    std::vector<SensorBeat> pendingBeats;
    // The pulse was not ready at some time since the last beat: a beat measured by the ticks
    // would take that stretch for an interval.
    bool notReadySinceBeat = false;

    void reset();
    // Decodes one sensor message posted at `tick` (main thread); without a tick, now.
    void onMessage(std::uintptr_t wParam, std::intptr_t lParam, std::uint32_t tick);
    void onMessage(std::uintptr_t wParam, std::intptr_t lParam);
    // Shows both status words on panel 2 (pulse) and panel 1 (breath); once per frame.
    void updatePanels();
};

// What a sensor panel shows for a status code: the CP1251 word and its colour; nothing for
// codes that change nothing (3 and any other unknown code).
struct StatusPresentation {
    const char* word;
    double red, green, blue;
};
std::optional<StatusPresentation> presentStatus(std::int32_t code);

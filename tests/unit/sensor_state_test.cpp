// Decoding of sensor messages: latch, status byte, edges and indicators, disconnection.
#include <gtest/gtest.h>

#include "gui/gui.hpp"
#include "platform/cp1251.hpp"
#include "platform/events.hpp"
#include "sensor/sensor_state.hpp"
#include "support/test_support.hpp"

namespace {

int closeEvents = 0;
void countCloses(const Event& event) {
    if (event.kind == Event::Kind::Close) ++closeEvents;
}

// The simulated device's six steps (wParam, lParam).
constexpr std::uintptr_t kW[] = {0x10000, 0x10002, 0x10000, 0x10003, 0x10001, 0x10003};
constexpr std::intptr_t kL[] = {0x490000, 0x590000, 0x490000, 0xD90000, 0xC90000, 0xD90000};

class SensorDecoding : public ::testing::Test {
protected:
    void SetUp() override {
        gui = Gui();
        gui.addPanel(1, -0.5f, -0.7f, 0.4f, 0.15f, 1, "breath", "Отключен"_cp1251);
        gui.addPanel(2, 0.5f, -0.7f, 0.4f, 0.15f, 1, "pulse", "Отключен"_cp1251);
        state.reset();
        closeEvents = 0;
        setWindowProcedure(countCloses);
    }
    void TearDown() override {
        setWindowProcedure(nullptr);
        gui = Gui();
    }
    // Feeds one step and takes its beats as a frame would.
    bool stepBeats(int step) {
        state.onMessage(kW[step], kL[step]);
        const bool beat = !state.pendingBeats.empty();
        state.pendingBeats.clear();
        return beat;
    }
    SensorState state;
};

TEST_F(SensorDecoding, ResetValues) {
    EXPECT_EQ(state.deviceId, 0);
    EXPECT_EQ(state.breathStatus, -1);
    EXPECT_EQ(state.pulseStatus, -1);
    EXPECT_EQ(state.pulseIndicator, 0.5f);
    EXPECT_EQ(state.breathArmed, 0.0f);
}

TEST_F(SensorDecoding, SimulatedDeviceBeatsOncePerSecondFromTheSecondRise) {
    std::vector<int> beatSteps;
    for (int i = 0; i < 12; ++i)
        if (stepBeats(i % 6)) beatSteps.push_back(i);
    // The rise at step 1 is not armed; 3, 5, 7, 9, 11 are.
    EXPECT_EQ(beatSteps, (std::vector<int>{3, 5, 7, 9, 11}));
    EXPECT_EQ(state.deviceId, 1);
    EXPECT_EQ(state.pulseStatus, 2);
    EXPECT_EQ(state.breathStatus, 2);
}

TEST_F(SensorDecoding, IndicatorDecaySequenceAndFallingEdge) {
    state.onMessage(0x10002, 0x590000); // first rise: not armed
    state.onMessage(0x10000, 0x490000); // fall arms
    EXPECT_EQ(state.pulseArmed, 1.0f);
    state.onMessage(0x10002, 0x590000, 1234);
    EXPECT_EQ(state.pulseIndicator, 1.0f);
    EXPECT_EQ(state.pulseArmed, 0.0f);
    state.onMessage(0x10000, 0x490000); // falls before a frame saw it: back to 0.5
    EXPECT_EQ(state.pulseIndicator, 0.5f);
    // ...but the beat is counted all the same, with the tick its message was posted at.
    ASSERT_EQ(state.pendingBeats.size(), 1u);
    EXPECT_EQ(state.pendingBeats[0].tick, 1234u);
    EXPECT_EQ(state.pendingBeats[0].intervalMs, 0u) << "no interval carried: measured by ticks";
}

TEST_F(SensorDecoding, BreathWordStaysDimDuringTheFirstBreathOnly) {
    for (int i = 0; i < 6; ++i) stepBeats(i);
    EXPECT_EQ(state.breathIndicator, 0.5f); // first breath-on phase was not armed
    for (int i = 0; i < 4; ++i) stepBeats(i);
    EXPECT_EQ(state.breathIndicator, 1.0f);
}

TEST_F(SensorDecoding, StatusByteAppliedOnlyWhenItChanges) {
    state.onMessage(0x10000, 0x000000); // status byte 0 equals the reset value
    EXPECT_EQ(state.pulseStatus, -1);
    EXPECT_EQ(state.deviceId, 1);
    state.onMessage(0x10000, 0x250000); // bits: breath 1, pulse 1
    EXPECT_EQ(state.breathStatus, 1);
    EXPECT_EQ(state.pulseStatus, 1);
    state.onMessage(0x10000, 0x6D0000); // breath 3, pulse 3
    EXPECT_EQ(state.breathStatus, 3);
    EXPECT_EQ(state.pulseStatus, 3);
}

TEST_F(SensorDecoding, ForeignDeviceIsIgnoredUntilADisconnection) {
    state.onMessage(0x10000, 0x490000);
    state.onMessage(0x20002, 0x250000); // device 2
    EXPECT_EQ(state.pulseStatus, 2);
    EXPECT_FALSE(state.pulseOn);

    CapturedMessageBoxes boxes;
    state.onMessage(0x20004, 0x250000); // device 2 reports a disconnection
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].first, std::string("Прибор отключен во время работы программы."_cp1251v));
    EXPECT_EQ(boxes.boxes()[0].second, std::string("Ошибка"_cp1251v));
    EXPECT_EQ(closeEvents, 1);
    EXPECT_EQ(state.deviceId, 2); // latched anew by the same message
    EXPECT_EQ(state.pulseStatus, 1);
}

TEST_F(SensorDecoding, PanelsShowWordColourAndIndicatorAlpha) {
    gui.sensor.updatePanels();
    EXPECT_EQ(gui.panels[1].status, std::string("Oтключен"_cp1251v)); // Latin O
    EXPECT_EQ(gui.panels[1].statusRed, 1.0);
    EXPECT_EQ(gui.panels[1].statusAlpha, 0.5);

    gui.sensor.onMessage(0x10000, 0x490000);
    gui.sensor.updatePanels();
    EXPECT_EQ(gui.panels[0].status, std::string("Готов"_cp1251v));
    EXPECT_EQ(gui.panels[0].statusGreen, 1.0);
    EXPECT_EQ(gui.panels[0].statusRed, 0.0);

    gui.sensor.onMessage(0x10000, 0x250000); // searching: cyan
    gui.sensor.updatePanels();
    EXPECT_EQ(gui.panels[1].status, std::string("Поиск сигнала"_cp1251v));
    EXPECT_EQ(gui.panels[1].statusBlue, 1.0);

    gui.sensor.onMessage(0x10000, 0x6D0000); // code 3 keeps word, colour and alpha
    gui.sensor.pulseIndicator = 0.9f;
    gui.sensor.updatePanels();
    EXPECT_EQ(gui.panels[1].status, std::string("Поиск сигнала"_cp1251v));
    EXPECT_EQ(gui.panels[1].statusAlpha, 0.5);

    ASSERT_TRUE(presentStatus(0).has_value());
    EXPECT_EQ(std::string(presentStatus(0)->word), std::string("Включение"_cp1251v));
}

} // namespace

// The Gui's widget lists: creation values, panel indices, radio selection, groups, styles.
#include <gtest/gtest.h>

#include "gui/gui.hpp"
#include "platform/cp1251.hpp"

namespace {

void noop(std::uint32_t) {}

class GuiWidgets : public ::testing::Test {
protected:
    void SetUp() override { gui = Gui(); }
    void TearDown() override { gui = Gui(); }

    // Three groups of rows: positions 0-1 in group 0, 2-4 in group 2, 5 in group 3.
    void addRows() {
        gui.addListButton(0, 0, 0.8f, 0.3f, 0.1f, 1, "a", noop, noop);
        gui.addListButton(0, 0, 0.6f, 0.3f, 0.1f, 1, "b", noop, noop);
        for (int i = 0; i < 3; ++i) gui.addListButton(2, 0.5f, 0.1f * i, 0.2f, 0.05f, 1, "g", noop, noop);
        gui.addListButton(3, 0.3f, -0.5f, 0.2f, 0.05f, 0, "l", noop, noop);
    }
};

TEST_F(GuiWidgets, FreshGuiHasTheInitialValues) {
    EXPECT_EQ(gui.menuTexture, 0);
    EXPECT_EQ(gui.backgroundTexture, 3);
    EXPECT_EQ(gui.volume, 32765);
    EXPECT_EQ(gui.inMenu, 1);
    EXPECT_EQ(gui.pulseIntervalMode, 1);
    EXPECT_EQ(gui.menuScaleX, 0.0f);
    EXPECT_EQ(gui.menuScaleY, 0.0f);
    EXPECT_FLOAT_EQ(gui.menuTargetScaleX, 0.9f);
    EXPECT_FLOAT_EQ(gui.menuTargetScaleY, 0.8f);
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{1, 4, 2, 2}));
    EXPECT_EQ(gui.session.cyclesLeft, 10);
    EXPECT_EQ(gui.session.goal, 7);
    EXPECT_EQ(gui.session.level, 1);
    EXPECT_EQ(gui.sensor.pulseStatus, -1);
    EXPECT_EQ(gui.sensor.pulseIndicator, 0.5f);
}

TEST_F(GuiWidgets, RecordsStartWithTheirCreationLook) {
    gui.addSmallButton(0.1f, 0.2f, 1, 0, 0, 0.3f, 0.4f, 0, "x", noop, noop);
    const SmallButton& b = gui.smallButtons.at(0);
    EXPECT_EQ(b.raised, 1); // not checked
    EXPECT_EQ(b.checkedRed, 1.0f);
    EXPECT_EQ(b.halfWidth, 0.3f);
    EXPECT_EQ(b.red, 0.5f);
    EXPECT_EQ(b.alpha, 0.7f);
    EXPECT_EQ(b.fadeDivisor, 1);
    ASSERT_TRUE(gui.addPanel(4, 0, 0, 1, 1, 1, "t", "status"));
    EXPECT_EQ(gui.panels[0].green, 0.55f);
    EXPECT_EQ(gui.panels[0].statusAlpha, 1.0);
    EXPECT_EQ(gui.panels[0].status, "status");
}

TEST_F(GuiWidgets, DuplicatePanelIndexIsRefusedAndChangesNothing) {
    ASSERT_TRUE(gui.addPanel(3, 0.3f, 0.7f, 0.35f, 0.12f, 0, "first", "one"));
    EXPECT_FALSE(gui.addPanel(3, 0.0f, 0.0f, 0.1f, 0.1f, 1, "second", "two"));
    ASSERT_EQ(gui.panels.size(), 1u);
    EXPECT_STREQ(gui.panels[0].title, "first");
    EXPECT_EQ(gui.panels[0].status, "one");
    EXPECT_TRUE(gui.addPanel(4, 0, 0, 1, 1, 1, "", ""));
}

TEST_F(GuiWidgets, SelectionIsARadioWithinOneGroupOnly) {
    addRows();
    gui.selectListButton(1.0f, 0.3f, 0.31f, 0);
    gui.selectListButton(1.0f, 0.3f, 0.31f, 2);
    gui.selectListButton(1.0f, 0.3f, 0.31f, 4);
    EXPECT_EQ(gui.listButtons[0].selected, 1); // other group untouched
    EXPECT_EQ(gui.listButtons[2].selected, 0);
    EXPECT_EQ(gui.listButtons[4].selected, 1);
    EXPECT_EQ(gui.listButtons[4].selectedGreen, 0.3f);
    EXPECT_EQ(gui.listButtons[4].selectedBlue, 0.31f);
}

TEST_F(GuiWidgets, RowOperationsWaitForTheMenuWhileStatusAndStylesStillAct) {
    addRows();
    ASSERT_TRUE(gui.addPanel(7, 0, 0, 1, 1, 1, "t", ""));
    gui.inMenu = 0;
    gui.selectListButton(1, 0, 0, 3);
    gui.hideAllListButtons();
    gui.showListGroup(3);
    gui.hideListGroup(2);
    EXPECT_EQ(gui.listButtons[3].selected, 0);
    EXPECT_EQ(gui.listButtons[0].visible, 1);
    EXPECT_EQ(gui.listButtons[5].visible, 0);
    EXPECT_EQ(gui.listButtons[2].visible, 1);

    gui.setPanelStatus(7, 1, 1, 1, 0.25, "     10");
    EXPECT_EQ(gui.panels[0].status, "     10");
    EXPECT_EQ(gui.panels[0].statusAlpha, 0.25);
    gui.styleListButton(0.2f, 0.3f, 20, 0.1f, 0.2f, 0.3f, 0.4f, 1);
    EXPECT_EQ(gui.listButtons[1].fadeDivisor, 20);
    EXPECT_EQ(gui.listButtons[1].alpha, 0.4f);
}

TEST_F(GuiWidgets, HiddenGroupKeepsItsSelection) {
    addRows();
    gui.selectListButton(1, 0.3f, 0.31f, 3);
    gui.hideListGroup(2);
    EXPECT_EQ(gui.listButtons[3].visible, 0);
    EXPECT_EQ(gui.listButtons[0].visible, 1);
    gui.showListGroup(2);
    EXPECT_EQ(gui.listButtons[3].visible, 1);
    EXPECT_EQ(gui.listButtons[3].selected, 1);
}

TEST_F(GuiWidgets, StylesTouchOnlyTheirSevenFields) {
    gui.addSmallButton(0, 0, 1, 0, 0, 0.1f, 0.05f, 1, "-", noop, noop);
    gui.smallButtons[0].raised = 0;
    gui.smallButtons[0].hovered = 1;
    gui.styleSmallButton(0.05f, 0, 20, 0.2f, 0.1f, 0.1f, 0.7f, 0);
    const SmallButton& b = gui.smallButtons[0];
    EXPECT_EQ(b.growX, 0.05f);
    EXPECT_EQ(b.red, 0.2f);
    EXPECT_EQ(b.raised, 0);
    EXPECT_EQ(b.hovered, 1);
    EXPECT_EQ(b.checkedRed, 1.0f);
}

TEST_F(GuiWidgets, UnknownPanelIndexChangesNothing) {
    ASSERT_TRUE(gui.addPanel(1, 0, 0, 1, 1, 1, "t", "Отключен"_cp1251));
    gui.setPanelStatus(99, 0, 1, 0, 1, "x");
    EXPECT_EQ(gui.panels[0].status, std::string("Отключен"_cp1251v));
}

TEST_F(GuiWidgets, AssignmentFromAFreshGuiResetsEverything) {
    addRows();
    gui.volume = 0;
    gui.menuScaleX = 0.9f;
    gui = Gui();
    EXPECT_TRUE(gui.listButtons.empty());
    EXPECT_EQ(gui.volume, 32765);
    EXPECT_EQ(gui.menuScaleX, 0.0f);
}

} // namespace

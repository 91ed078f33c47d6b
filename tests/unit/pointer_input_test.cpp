// Pointer input: the hit test, the hover and click passes and their order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/gui.hpp"
#include "gui/pointer_input.hpp"

namespace {

std::vector<std::string> calls;

void recordMenuHover(std::uint32_t p) { calls.push_back("menu hover " + std::to_string(p)); }
void recordMenuClick(std::uint32_t p) { calls.push_back("menu click " + std::to_string(p)); }
void recordRowHover(std::uint32_t p) { calls.push_back("row hover " + std::to_string(p)); }
void recordRowClick(std::uint32_t p) { calls.push_back("row click " + std::to_string(p)); }
void recordButtonClick(std::uint32_t p) {
    // The action runs after the click pass inverted the button.
    calls.push_back("button click " + std::to_string(p) + " raised " +
                    std::to_string(gui.smallButtons[p].raised));
}

class PointerInput : public ::testing::Test {
protected:
    void SetUp() override {
        gui = Gui();
        calls.clear();
        // A frame of 1 x 1 makes local and normalised coordinates the same.
        gui.menuScaleX = 1.0f;
        gui.menuScaleY = 1.0f;
    }
    void TearDown() override { gui = Gui(); }
};

TEST_F(PointerInput, EdgesAreOutsideAndTheLocalPointIsSinglePrecision) {
    EXPECT_FALSE(gui.hitTest(1, -0.5f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f));
    EXPECT_FALSE(gui.hitTest(1, 0.0f, 0.5f, 0.0f, 0.0f, 0.5f, 0.5f));
    EXPECT_TRUE(gui.hitTest(1, -0.49f, 0.49f, 0.0f, 0.0f, 0.5f, 0.5f));
    EXPECT_FALSE(gui.hitTest(0, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f));
    // With the frame at 0.9 x 0.8 the local point is scaled.
    gui.menuScaleX = 0.9f;
    gui.menuScaleY = 0.8f;
    EXPECT_TRUE(gui.hitTest(1, -0.65f * 0.9f, 0.8f * 0.8f, -0.65f, 0.8f, 0.27f, 0.09f));
}

TEST_F(PointerInput, NothingCanBeHitWhileTheFrameIsStillClosed) {
    gui.menuScaleX = 0.0f;
    gui.menuScaleY = 0.0f;
    gui.addMenuItem(0, 0, 1, 1, 1, "x", recordMenuHover, recordMenuClick);
    gui.addSmallButton(0, 0, 1, 0, 0, 1, 1, 1, "-", recordMenuHover, recordButtonClick);
    gui.onHover(0, 0);
    gui.onClick(0, 0);
    gui.onClick(0.1f, 0.1f);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(gui.smallButtons[0].raised, 1);
}

TEST_F(PointerInput, InvisibleWidgetOnTopDoesNotHideTheVisibleOneUnderIt) {
    gui.addListButton(0, 0, 0, 0.5f, 0.5f, 0, "hidden", recordRowHover, recordRowClick);
    gui.addListButton(0, 0, 0, 0.5f, 0.5f, 1, "shown", recordRowHover, recordRowClick);
    gui.addListButton(0, 0, 0, 0.5f, 0.5f, 1, "later", recordRowHover, recordRowClick);
    gui.onHover(0.1f, 0.1f);
    EXPECT_EQ(calls, std::vector<std::string>{"row hover 1"});
    EXPECT_EQ(gui.listButtons[1].hovered, 1);
    EXPECT_EQ(gui.listButtons[2].hovered, 0); // first created wins
}

TEST_F(PointerInput, HoverCallsEntryThenRowAndMovingOutsideKeepsTheFlags) {
    gui.addMenuItem(0, 0, 0.5f, 0.5f, 1, "entry", recordMenuHover, recordMenuClick);
    gui.addListButton(1, 0, 0, 0.5f, 0.5f, 1, "row", recordRowHover, recordRowClick);
    gui.onHover(0.2f, 0.2f);
    EXPECT_EQ(calls, (std::vector<std::string>{"menu hover 0", "row hover 0"}));
    gui.onHover(1.5f, 0.0f); // outside the frame
    EXPECT_EQ(gui.menuItems[0].hovered, 1);
    EXPECT_EQ(gui.listButtons[0].hovered, 1);
    gui.onHover(0.9f, 0.9f); // inside the frame, over nothing
    EXPECT_EQ(gui.menuItems[0].hovered, 0);
    EXPECT_EQ(gui.listButtons[0].hovered, 0);
}

TEST_F(PointerInput, ClickOutsideTheFrameClearsOnlyTheSmallButtons) {
    gui.addMenuItem(0, 0, 0.5f, 0.5f, 1, "entry", recordMenuHover, recordMenuClick);
    gui.addSmallButton(0, 0, 1, 0, 0, 0.5f, 0.5f, 1, "-", recordMenuHover, recordButtonClick);
    gui.menuItems[0].hovered = 1;
    gui.smallButtons[0].hovered = 1;
    gui.onClick(1.5f, 0.0f);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(gui.menuItems[0].hovered, 1);
    EXPECT_EQ(gui.smallButtons[0].hovered, 0);
}

TEST_F(PointerInput, ClickInvertsRaisedBeforeTheActionAndLeavesTheButtonUnhovered) {
    gui.addSmallButton(0, 0, 1, 0, 0, 0.5f, 0.5f, 1, "toggle", recordMenuHover, recordButtonClick);
    gui.onClick(0.1f, 0.1f);
    EXPECT_EQ(calls, std::vector<std::string>{"button click 0 raised 0"});
    EXPECT_EQ(gui.smallButtons[0].hovered, 0);
    gui.onClick(0.1f, 0.1f);
    EXPECT_EQ(gui.smallButtons[0].raised, 1);
}

TEST_F(PointerInput, ClickCallsEntryRowAndButtonInThatOrder) {
    gui.addMenuItem(0, 0, 0.5f, 0.5f, 1, "entry", recordMenuHover, recordMenuClick);
    gui.addListButton(1, 0, 0, 0.5f, 0.5f, 1, "row", recordRowHover, recordRowClick);
    gui.addSmallButton(0, 0, 1, 0, 0, 0.5f, 0.5f, 1, "-", recordMenuHover, recordButtonClick);
    gui.onClick(0.0f, 0.1f);
    EXPECT_EQ(calls, (std::vector<std::string>{"menu click 0", "row click 0",
                                               "button click 0 raised 0"}));
    EXPECT_EQ(gui.menuItems[0].hovered, 1);
}

TEST_F(PointerInput, NothingReactsWhileASessionRuns) {
    gui.addMenuItem(0, 0, 0.5f, 0.5f, 1, "entry", recordMenuHover, recordMenuClick);
    gui.addSmallButton(0, 0, 1, 0, 0, 0.5f, 0.5f, 1, "-", recordMenuHover, recordButtonClick);
    gui.smallButtons[0].hovered = 1;
    gui.inMenu = 0;
    gui.onHover(0, 0);
    gui.onClick(0, 0);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(gui.smallButtons[0].hovered, 1);
    EXPECT_EQ(gui.smallButtons[0].raised, 1);
}

TEST_F(PointerInput, HoverLooksOfTheThreeKinds) {
    gui.addMenuItem(0, 0, 0.5f, 0.5f, 1, "entry", hoverMenuItem, nullptr);
    gui.addListButton(1, 0, 0, 0.5f, 0.5f, 1, "row", hoverListButton, nullptr);
    gui.addSmallButton(0, 0, 1, 0, 0, 0.5f, 0.5f, 1, "-", hoverSmallButton, nullptr);
    gui.onHover(0, 0);
    EXPECT_EQ(gui.menuItems[0].growX, 0.1f);
    EXPECT_EQ(gui.menuItems[0].growY, 0.1f);
    EXPECT_EQ(gui.listButtons[0].growX, 0.0f);
    EXPECT_EQ(gui.smallButtons[0].growX, 0.05f);
    EXPECT_EQ(gui.smallButtons[0].growY, 0.0f);
    for (float red : {gui.menuItems[0].red, gui.listButtons[0].red, gui.smallButtons[0].red})
        EXPECT_EQ(red, 0.2f);
    EXPECT_EQ(gui.listButtons[0].fadeDivisor, 20);
    EXPECT_EQ(gui.smallButtons[0].alpha, 0.7f);
}

} // namespace

// The menu as built at start-up: lists, texts, selections, settings and the first looks.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.hpp"
#include "gui/gui.hpp"
#include "gui/menu_layout.hpp"
#include "gui/pointer_input.hpp"
#include "platform/cp1251.hpp"
#include "training/menu_actions.hpp"
#include "training/row_actions.hpp"
#include "training/sound_cues.hpp"
#include "support/test_support.hpp"

namespace {

// Builds the menu in a fresh folder holding `settings` as menu.cfg (none when null).
class MenuLayout : public ::testing::Test {
protected:
    void build(const char* settings) {
        std::strcpy(settingsBuffer, "00000000"); // as at program start
        if (settings) std::ofstream("menu.cfg", std::ios::binary) << settings;
        ASSERT_TRUE(gl.ok());
        buildUserInterface(800, 600, nullptr);
    }

    bool boxShown(std::string_view text) const {
        for (const auto& [boxText, caption] : boxes.boxes())
            if (boxText == text) return true;
        return false;
    }

    CapturedMessageBoxes boxes;
    ScratchDirectory dir;
    OffscreenGl gl;
};

std::vector<std::uint32_t> selectedRows() {
    std::vector<std::uint32_t> rows;
    for (std::size_t i = 0; i < gui.listButtons.size(); ++i)
        if (gui.listButtons[i].selected) rows.push_back(static_cast<std::uint32_t>(i));
    return rows;
}

TEST_F(MenuLayout, ListsHoldEveryWidgetInItsFixedPosition) {
    build("00000000");
    ASSERT_EQ(gui.menuItems.size(), 7u);
    ASSERT_EQ(gui.listButtons.size(), 25u);
    ASSERT_EQ(gui.panels.size(), 12u);
    ASSERT_EQ(gui.smallButtons.size(), 17u);

    const std::int32_t indices[] = {0, 3, 4, 5, 6, 7, 1, 2, 8, 9, 10, 11};
    for (std::size_t p = 0; p < 12; ++p) EXPECT_EQ(gui.panels[p].index, indices[p]) << p;
    EXPECT_EQ(std::string_view(gui.panels[6].title), "Датчик дыхания"_cp1251v);
    EXPECT_EQ(gui.panels[7].status, "Отключен"_cp1251v);
    EXPECT_EQ(std::string_view(gui.panels[3].title), "   Выберите цель тренировки"_cp1251v);
    EXPECT_EQ(std::string_view(gui.panels[0].title), "");
    EXPECT_FALSE(boxShown("Bad panel index."));

    EXPECT_EQ(std::string_view(gui.menuItems[0].caption), "Старт"_cp1251v);
    EXPECT_EQ(std::string_view(gui.menuItems[6].caption), "Выход"_cp1251v);
    EXPECT_EQ(gui.menuItems[0].onClick, &startClicked);
    EXPECT_EQ(gui.menuItems[6].onClick, &exitClicked);

    // Captions are padded per group, so every row of a group starts at the same offset.
    const std::size_t captionLength[] = {12, 32, 34, 17};
    const std::int32_t groupOf[] = {0, 0, 0, 0, 1, 1, 1, 2, 2, 2, 2, 2, 2,
                                    2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3};
    for (std::size_t i = 0; i < 25; ++i) {
        const ListButton& row = gui.listButtons[i];
        EXPECT_EQ(row.group, groupOf[i]) << i;
        EXPECT_EQ(std::strlen(row.caption), captionLength[groupOf[i]]) << i;
        EXPECT_EQ(row.onHover, &hoverListButton) << i;
    }
    EXPECT_EQ(std::string_view(gui.listButtons[7].caption),
              "Снять стресс                      "_cp1251v);
    EXPECT_EQ(gui.listButtons[3].onClick, &exerciseRowClicked);
    EXPECT_EQ(gui.listButtons[6].onClick, &pulseIntervalRowClicked);
    EXPECT_EQ(gui.listButtons[18].onClick, &goalRowClicked);
    EXPECT_EQ(gui.listButtons[19].onClick, &levelRowClicked);

    // Steppers are told apart by position.
    EXPECT_EQ(gui.smallButtons[6].onClick, &volumeStepClicked);
    EXPECT_EQ(gui.smallButtons[7].onClick, &cyclesStepClicked);
    EXPECT_EQ(gui.smallButtons[16].onClick, &formulaStepClicked);
    EXPECT_EQ(std::string_view(gui.smallButtons[16].caption), "+ "_cp1251v);
    for (const SmallButton& b : gui.smallButtons) {
        EXPECT_EQ(b.checkedRed, 1.0f);
        EXPECT_EQ(b.checkedGreen, 0.0f);
        EXPECT_EQ(b.checkedBlue, 0.0f);
    }
}

TEST_F(MenuLayout, OnlyTheEntriesTheGoalPageAndTheSensorPanelsStartVisible) {
    build("00000000");
    for (const MenuItem& item : gui.menuItems) EXPECT_EQ(item.visible, 1);
    for (std::size_t p = 0; p < gui.panels.size(); ++p)
        EXPECT_EQ(gui.panels[p].visible, (p == 3 || p == 6 || p == 7) ? 1 : 0) << p;
    for (std::size_t i = 0; i < gui.listButtons.size(); ++i)
        EXPECT_EQ(gui.listButtons[i].visible, gui.listButtons[i].group == 2 ? 1 : 0) << i;
    for (const SmallButton& b : gui.smallButtons) EXPECT_EQ(b.visible, 0);

    // The frame is closed until the first menu frames, and the fixed drawing state is set.
    EXPECT_EQ(gui.inMenu, 1);
    EXPECT_EQ(gui.menuScaleX, 0.0f);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 1.0f);
    EXPECT_EQ(clear[3], 0.0f);
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LESS);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_PROJECTION);
}

TEST_F(MenuLayout, StartsWithOneSelectedRowInEachOfGroupsOneToThree) {
    build("00000000");
    EXPECT_EQ(selectedRows(), (std::vector<std::uint32_t>{5, 7, 19}));
    for (std::uint32_t row : {5u, 7u, 19u}) {
        EXPECT_EQ(gui.listButtons[row].selectedRed, 1.0f);
        EXPECT_EQ(gui.listButtons[row].selectedGreen, 0.3f);
        EXPECT_EQ(gui.listButtons[row].selectedBlue, 0.31f);
    }
    EXPECT_EQ(gui.session.goal, 7);
    EXPECT_EQ(gui.session.level, 1);
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{1, 4, 2, 2}));
    EXPECT_EQ(gui.session.cyclesLeft, 10);

    // A toggle's own click action selects nothing: not an exercise row, and not the
    // pulse-interval row whose mode is not in force.
    const std::int32_t mode = gui.pulseIntervalMode;
    for (std::uint32_t k = 0; k < 5; ++k) gui.smallButtons[k].onClick(k);
    EXPECT_EQ(selectedRows(), (std::vector<std::uint32_t>{5, 7, 19}));
    EXPECT_EQ(gui.pulseIntervalMode, mode);
}

TEST_F(MenuLayout, EveryWidgetStartsInItsHoverLookUnhovered) {
    build("00000000");
    for (const MenuItem& m : gui.menuItems) {
        EXPECT_EQ(m.growX, 0.1f);
        EXPECT_EQ(m.growY, 0.1f);
        EXPECT_EQ(m.fadeDivisor, 20);
        EXPECT_EQ(m.red, 0.2f);
        EXPECT_EQ(m.green, 0.1f);
        EXPECT_EQ(m.blue, 0.1f);
        EXPECT_EQ(m.alpha, 0.7f);
        EXPECT_EQ(m.hovered, 0);
    }
    // Hidden rows get the look too, to fade from when they are first shown.
    for (const ListButton& r : gui.listButtons) {
        EXPECT_EQ(r.growX, 0.0f);
        EXPECT_EQ(r.fadeDivisor, 20);
        EXPECT_EQ(r.red, 0.2f);
        EXPECT_EQ(r.blue, 0.1f);
        EXPECT_EQ(r.hovered, 0);
    }
    for (const SmallButton& b : gui.smallButtons) {
        EXPECT_EQ(b.growX, 0.05f);
        EXPECT_EQ(b.growY, 0.0f);
        EXPECT_EQ(b.fadeDivisor, 20);
        EXPECT_EQ(b.green, 0.1f);
        EXPECT_EQ(b.hovered, 0);
    }
}

TEST_F(MenuLayout, StoredTogglesStartChecked) {
    build("10100000");
    const std::uint8_t raised[] = {0, 1, 0, 1, 1};
    for (std::size_t k = 0; k < 5; ++k) EXPECT_EQ(gui.smallButtons[k].raised, raised[k]) << k;
    // Steppers are not toggles: the settings never reach them.
    for (std::size_t k = 5; k < 17; ++k) EXPECT_EQ(gui.smallButtons[k].raised, 1) << k;
    EXPECT_FALSE(boxShown("File not found !!!"));
}

TEST_F(MenuLayout, WithoutSettingsFileEveryToggleStartsUnchecked) {
    build(nullptr);
    EXPECT_TRUE(boxShown("File not found !!!"));
    ASSERT_EQ(gui.smallButtons.size(), 17u);
    for (std::size_t k = 0; k < 5; ++k) EXPECT_EQ(gui.smallButtons[k].raised, 1) << k;
}

} // namespace

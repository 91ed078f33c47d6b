// Goal presets, the row actions, the menu pages and the formula and cycle steppers.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/shell.hpp"
#include "gui/gui.hpp"
#include "platform/events.hpp"
#include "platform/ticks.hpp"
#include "support/test_support.hpp"
#include "training/menu_actions.hpp"
#include "training/presets.hpp"
#include "training/row_actions.hpp"

namespace {

// The menu's widgets at their positions, panel indices and groups, with the start-up
// visibility and selections; coordinates do not matter here.
void buildMenuWidgets() {
    gui = Gui();
    for (int i = 0; i < 7; ++i)
        gui.addMenuItem(-0.65f, 0.8f - 0.2f * i, 0.27f, 0.09f, 1, "", nullptr, nullptr);
    const int panelIndices[] = {0, 3, 4, 5, 6, 7, 1, 2, 8, 9, 10, 11};
    for (int index : panelIndices) {
        const bool shown = index == 5 || index == 1 || index == 2;
        ASSERT_TRUE(gui.addPanel(index, 0.3f, 0.0f, 0.3f, 0.1f, shown ? 1 : 0, "", ""));
    }
    for (int row = 0; row < 25; ++row) {
        const int group = row < 4 ? 0 : row < 7 ? 1 : row < 19 ? 2 : 3;
        gui.addListButton(group, 0.3f, 0.0f, 0.15f, 0.05f, group == 2 ? 1 : 0, "", nullptr,
                          nullptr);
    }
    for (int b = 0; b < 17; ++b)
        gui.addSmallButton(0.3f, 0.0f, 1, 0, 0, 0.1f, 0.05f, 0, "", nullptr, nullptr);
    gui.selectListButton(1.0f, 0.3f, 0.31f, 5);
    gui.selectListButton(1.0f, 0.3f, 0.31f, 7);
    gui.session.applyGoal(7, 1);
    gui.selectListButton(1.0f, 0.3f, 0.31f, 19);
}

const Panel& panelWithIndex(int index) {
    for (const Panel& panel : gui.panels)
        if (panel.index == index) return panel;
    throw std::runtime_error("no panel " + std::to_string(index));
}

std::set<int> selectedRows() {
    std::set<int> rows;
    for (std::size_t i = 0; i < gui.listButtons.size(); ++i)
        if (gui.listButtons[i].selected) rows.insert(static_cast<int>(i));
    return rows;
}

class Menu : public ::testing::Test {
  protected:
    void SetUp() override {
        setTickOverride(1000);
        buildMenuWidgets();
    }
    void TearDown() override {
        clearTickOverride();
        gui = Gui();
    }
};

TEST(Presets, EveryGoalAtTheLowestAndHighestLevel) {
    struct Row {
        int goal;
        BreathFormula level1, level6;
    };
    const Row table[] = {
        {7, {1, 4, 2, 2}, {6, 24, 12, 12}},  {8, {1, 2, 2, 2}, {6, 12, 12, 12}},
        {9, {1, 4, 2, 4}, {6, 24, 12, 24}},  {10, {4, 2, 4, 0}, {24, 12, 24, 0}},
        {11, {1, 2, 2, 0}, {6, 12, 12, 0}},  {12, {1, 4, 2, 0}, {6, 24, 12, 0}},
        {13, {2, 0, 2, 2}, {12, 0, 12, 12}}, {14, {1, 0, 1, 2}, {6, 0, 6, 37}},
        {15, {2, 1, 2, 1}, {12, 6, 12, 6}},  {16, {1, 1, 1, 1}, {36, 36, 36, 36}},
        {17, {3, 1, 3, 1}, {18, 6, 18, 6}},  {18, {2, 0, 2, 0}, {12, 0, 12, 0}},
    };
    for (const Row& row : table) {
        EXPECT_EQ(presetFormula(row.goal, 1), row.level1) << "goal " << row.goal;
        EXPECT_EQ(presetFormula(row.goal, 6), row.level6) << "goal " << row.goal;
    }
    // Inhale and exhale never fall below one beat at any level.
    for (int goal = 7; goal <= 18; ++goal)
        for (int level = 1; level <= 6; ++level) {
            const BreathFormula f = presetFormula(goal, level);
            EXPECT_GE(f[0], 1);
            EXPECT_GE(f[2], 1);
            EXPECT_GE(f[1], 0);
            EXPECT_GE(f[3], 0);
        }
}

TEST_F(Menu, LevelRowsScaleTheCurrentGoal) {
    levelRowClicked(22); // "Experienced" before any goal click: the start-up goal
    EXPECT_EQ(gui.session.level, 4);
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{4, 16, 8, 8}));
    EXPECT_EQ(selectedRows(), (std::set<int>{5, 7, 22}));

    goalRowClicked(16);
    levelRowClicked(24);
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{36, 36, 36, 36}));
    goalRowClicked(14);
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{6, 0, 6, 37}));
    EXPECT_EQ(gui.session.goal, 14);
    EXPECT_EQ(gui.session.level, 6);
    EXPECT_EQ(selectedRows(), (std::set<int>{5, 14, 24}));
}

TEST_F(Menu, ClickingTheSameGoalAgainResetsTheCounters) {
    gui.session.restart();
    gui.session.beatInPhase = 3;
    gui.session.phase = 2;
    gui.session.cycleTimeMs = 4200;
    gui.session.beatIntervals = {1000.0f, 1100.0f};
    gui.session.cycleMeans = {1000.0f};
    gui.session.cyclesLeft = 4;
    gui.trainingScreen.phaseStarted = false;
    gui.inMenu = 1;
    setTickOverride(9000);

    goalRowClicked(7);
    EXPECT_EQ(gui.session.beatInPhase, 0);
    EXPECT_EQ(gui.session.phase, 0);
    EXPECT_EQ(gui.session.cycleTimeMs, 0);
    EXPECT_TRUE(gui.session.beatIntervals.empty());
    EXPECT_TRUE(gui.session.cycleMeans.empty());
    EXPECT_EQ(gui.session.lastBeatTick, 9000u);
    EXPECT_EQ(gui.session.cyclesLeft, 4);
    EXPECT_FALSE(gui.trainingScreen.phaseStarted);
    EXPECT_EQ(gui.inMenu, 1);
}

TEST_F(Menu, RowsOutsideTheirRangeOnlySelect) {
    const BreathFormula before = gui.session.phaseBeats;
    goalRowClicked(3); // a hide toggle passes its own position to a row action
    levelRowClicked(4);
    exerciseRowClicked(2);
    EXPECT_EQ(gui.session.phaseBeats, before);
    EXPECT_EQ(gui.session.goal, 7);
    EXPECT_EQ(gui.session.level, 1);
    EXPECT_EQ(gui.pulseIntervalMode, 1);
    EXPECT_EQ(selectedRows(), (std::set<int>{2, 4, 7, 19}));
    goalRowClicked(99); // no such row: nothing happens, nothing breaks
    EXPECT_EQ(gui.session.goal, 7);
}

TEST_F(Menu, PulseIntervalRowsSetTheGraphMode) {
    pulseIntervalRowClicked(4);
    EXPECT_EQ(gui.pulseIntervalMode, 0);
    pulseIntervalRowClicked(6);
    EXPECT_EQ(gui.pulseIntervalMode, 2);
    EXPECT_EQ(selectedRows(), (std::set<int>{6, 7, 19}));
    EXPECT_FLOAT_EQ(gui.listButtons[6].selectedGreen, 0.3f);
    EXPECT_FLOAT_EQ(gui.listButtons[6].selectedBlue, 0.31f);
}

// Shown panels (by index), small buttons and visible rows after a page action.
struct PageView {
    std::set<int> panels, smallButtons, rows;
    bool operator==(const PageView&) const = default;
};

PageView visiblePage() {
    PageView view;
    for (const Panel& panel : gui.panels)
        if (panel.visible) view.panels.insert(panel.index);
    for (std::size_t i = 0; i < gui.smallButtons.size(); ++i)
        if (gui.smallButtons[i].visible) view.smallButtons.insert(static_cast<int>(i));
    for (std::size_t i = 0; i < gui.listButtons.size(); ++i)
        if (gui.listButtons[i].visible) view.rows.insert(static_cast<int>(i));
    return view;
}

std::set<int> range(int first, int last) {
    std::set<int> out;
    for (int i = first; i <= last; ++i)
        out.insert(i);
    return out;
}

TEST_F(Menu, EachPageShowsItsOwnSetAndHidesTheRest) {
    appearanceMenuClicked(4);
    EXPECT_EQ(visiblePage(), (PageView{{1, 2}, range(0, 4), {}}));
    optionsMenuClicked(5);
    EXPECT_EQ(visiblePage(), (PageView{{1, 2, 3, 4}, {5, 6}, range(4, 6)}));
    formulaMenuClicked(3);
    EXPECT_EQ(visiblePage(), (PageView{{1, 2, 8, 9, 10, 11}, range(9, 16), {}}));
    modeMenuClicked(2);
    EXPECT_EQ(visiblePage(), (PageView{{1, 2, 6, 7}, {7, 8}, range(19, 24)}));
    goalMenuClicked(1);
    EXPECT_EQ(visiblePage(), (PageView{{1, 2, 5}, {}, range(7, 18)}));

    // The clicked entry gets the pressed look; the others keep theirs.
    const MenuItem& pressed = gui.menuItems[1];
    EXPECT_FLOAT_EQ(pressed.growX, 0.1f);
    EXPECT_EQ(pressed.fadeDivisor, 20);
    EXPECT_FLOAT_EQ(pressed.red, 0.1f);
    EXPECT_FLOAT_EQ(pressed.green, 0.0f);
    EXPECT_FLOAT_EQ(pressed.alpha, 0.7f);
    EXPECT_EQ(gui.menuItems[0].fadeDivisor, 1);
}

TEST_F(Menu, PagesWriteTheirStatusWordsFromTheCurrentValues) {
    formulaMenuClicked(3);
    EXPECT_EQ(panelWithIndex(8).status, " 1");
    EXPECT_EQ(panelWithIndex(9).status, " 4");
    EXPECT_EQ(panelWithIndex(10).status, " 2");
    EXPECT_EQ(panelWithIndex(11).status, " 2");
    EXPECT_DOUBLE_EQ(panelWithIndex(9).statusRed, 1.0);
    EXPECT_DOUBLE_EQ(panelWithIndex(9).statusAlpha, 1.0);

    modeMenuClicked(2);
    EXPECT_EQ(panelWithIndex(7).status, "     10");
    optionsMenuClicked(5);
    EXPECT_EQ(panelWithIndex(3).status, "   50%");

    // An odd count (not a multiple the steppers produce) leaves the word as it was.
    gui.session.cyclesSetting = 75;
    modeMenuClicked(2);
    EXPECT_EQ(panelWithIndex(7).status, "     10");
}

TEST_F(Menu, FormulaSteppersKeepTheirLimitsAndAlwaysRewriteTheWord) {
    gui.smallButtons[9].raised = 0; // as the click pass leaves it
    formulaStepClicked(9);          // inhale "-" at 1
    EXPECT_EQ(gui.session.phaseBeats[0], 1);
    EXPECT_EQ(panelWithIndex(8).status, " 1");
    EXPECT_EQ(gui.smallButtons[9].raised, 1);

    gui.session.phaseBeats = {1, 1, 1, 1};
    formulaStepClicked(11);
    formulaStepClicked(11); // pause "-" stops at 0
    EXPECT_EQ(gui.session.phaseBeats[1], 0);
    EXPECT_EQ(panelWithIndex(9).status, " 0");
    formulaStepClicked(13); // exhale "-" at 1
    formulaStepClicked(15);
    formulaStepClicked(15);
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{1, 0, 1, 0}));

    gui.session.phaseBeats = {98, 98, 98, 98};
    for (std::uint32_t plus : {10u, 12u, 14u, 16u}) {
        formulaStepClicked(plus);
        formulaStepClicked(plus);
    }
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{99, 99, 99, 99}));
    EXPECT_EQ(panelWithIndex(11).status, " 99");

    // The counters, goal and level run on; the rows keep their selection.
    gui.session.beatInPhase = 2;
    formulaStepClicked(10);
    EXPECT_EQ(gui.session.beatInPhase, 2);
    EXPECT_EQ(selectedRows(), (std::set<int>{5, 7, 19}));

    gui.smallButtons[5].raised = 0;
    formulaStepClicked(5); // not a formula stepper: only released
    EXPECT_EQ(gui.smallButtons[5].raised, 1);
    EXPECT_EQ(gui.session.phaseBeats, (BreathFormula{99, 99, 99, 99}));
}

TEST_F(Menu, CycleSteppersClampAtTenAndSixtyAndRefillTheSession) {
    gui.session.cyclesLeft = 3;
    cyclesStepClicked(7);
    EXPECT_EQ(gui.session.cyclesSetting, 10);
    EXPECT_EQ(gui.session.cyclesLeft, 10);
    EXPECT_EQ(panelWithIndex(7).status, "     10");

    const char* words[] = {"     20", "     30", "     40", "     50", "     60", "     60"};
    for (const char* word : words) {
        gui.smallButtons[8].raised = 0;
        cyclesStepClicked(8);
        EXPECT_EQ(panelWithIndex(7).status, word);
        EXPECT_EQ(gui.smallButtons[8].raised, 1);
    }
    EXPECT_EQ(gui.session.cyclesSetting, 60);
    EXPECT_EQ(gui.session.cyclesLeft, 60);
    cyclesStepClicked(7);
    EXPECT_EQ(gui.session.cyclesSetting, 50);
    EXPECT_EQ(gui.session.cyclesLeft, 50);
}

TEST_F(Menu, StartRestylesItsEntryAndRestarts) {
    gui.session.cyclesLeft = 0;
    startClicked(0);
    EXPECT_EQ(gui.inMenu, 0);
    EXPECT_EQ(gui.session.cyclesLeft, 10);
    EXPECT_FLOAT_EQ(gui.menuItems[0].red, 0.1f);
    EXPECT_EQ(gui.menuItems[0].fadeDivisor, 20);
}

std::vector<Event::Kind> sentEvents;

TEST_F(Menu, ExitRestylesItsEntryThenAsksTheWindowToClose) {
    sentEvents.clear();
    setWindowProcedure([](const Event& event) {
        // The entry is restyled before the window hears of the close.
        EXPECT_FLOAT_EQ(gui.menuItems[6].red, 0.5f);
        sentEvents.push_back(event.kind);
    });
    exitClicked(6);
    setWindowProcedure(nullptr);
    EXPECT_EQ(sentEvents, (std::vector<Event::Kind>{Event::Kind::Close}));
    EXPECT_FLOAT_EQ(gui.menuItems[6].growY, 0.1f);
    EXPECT_FLOAT_EQ(gui.menuItems[6].alpha, 0.7f);
}

TEST_F(Menu, ExitEndsTheProgramThroughTheWindowProcedure) {
    ScratchDirectory scratch;
    gui.smallButtons[2].raised = 0; // the settings written on the way out show the toggle
    setWindowProcedure(windowProc);
    exitClicked(6);
    exitClicked(6); // a second click before the quit is taken changes nothing
    setWindowProcedure(nullptr);
    EXPECT_TRUE(shutdownDone());
    EXPECT_TRUE(quitRequested());
    EXPECT_EQ(quitExitCode(), 0);
    std::ifstream settings("menu.cfg", std::ios::binary);
    std::string stored;
    std::getline(settings, stored);
    EXPECT_EQ(stored.substr(0, 5), "00100");
    clearQuit();
}

} // namespace

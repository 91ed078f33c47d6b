// The main menu's actions (start, the five pages, exit) and the formula and cycle steppers.
#include "training/menu_actions.hpp"

#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>

#include "app/session_flow.hpp"
#include "gui/gui.hpp"
#include "platform/events.hpp"
#include "training/sound_cues.hpp"

namespace {

// Panel indices of the status lines these actions write.
constexpr std::int32_t kVolumePanel = 3;
constexpr std::int32_t kCyclesPanel = 7;
constexpr std::int32_t kFirstFormulaPanel = 8; // 8..11: inhale, pause, exhale, pause

// Row groups.
constexpr std::int32_t kPulseIntervalRows = 1;
constexpr std::int32_t kGoalRows = 2;
constexpr std::int32_t kLevelRows = 3;
constexpr std::int32_t kNoRows = -1;

// The panels that pages show and hide, by position; 6 and 7 are the sensor panels, always shown.
constexpr std::uint32_t kPagePanels[] = {0, 1, 2, 3, 4, 5, 8, 9, 10, 11};
constexpr std::uint32_t kSmallButtonCount = 17;

void setWhiteStatus(std::int32_t panelIndex, std::string text) {
    gui.setPanelStatus(panelIndex, 1.0, 1.0, 1.0, 1.0, std::move(text));
}

// "     10" ... "     60"; any other count leaves the word as it is.
void writeCyclesWord() {
    const std::int32_t tens = gui.session.cyclesSetting / 10;
    if (tens < 1 || tens > 6) return;
    setWhiteStatus(kCyclesPanel, "     " + std::to_string(tens * 10));
}

void writeFormulaWord(std::size_t entry) {
    char word[16];
    std::snprintf(word, sizeof word, " %d", gui.session.phaseBeats[entry]);
    setWhiteStatus(kFirstFormulaPanel + static_cast<std::int32_t>(entry), word);
}

void releaseStepper(std::uint32_t position) {
    if (position < gui.smallButtons.size()) gui.smallButtons[position].raised = 1;
}

// The pressed look of a main-menu entry; "Выход" has its own red.
void pressMenuItem(std::uint32_t position, float red) {
    if (position < gui.menuItems.size())
        gui.styleMenuItem(0.1f, 0.1f, 20, red, 0.0f, 0.0f, 0.7f, position);
}

// A page as bit sets of panel and small-button positions (bit n = position n), and its rows.
struct Page {
    std::uint32_t panels;
    std::uint32_t smallButtons;
    std::int32_t rowGroup; // kNoRows for none
};

constexpr std::uint32_t bits(std::initializer_list<std::uint32_t> positions) {
    std::uint32_t set = 0;
    for (std::uint32_t p : positions)
        set |= 1u << p;
    return set;
}

// Replaces the whole visible page: everything of the other pages is hidden.
void showPage(std::uint32_t menuPosition, const Page& page, void (*writeStatusWords)()) {
    pressMenuItem(menuPosition, 0.1f);
    gui.hideAllListButtons();
    for (std::uint32_t position : kPagePanels)
        if (position < gui.panels.size())
            gui.panels[position].visible = (page.panels >> position) & 1u;
    for (std::uint32_t position = 0;
         position < kSmallButtonCount && position < gui.smallButtons.size(); ++position)
        gui.smallButtons[position].visible = (page.smallButtons >> position) & 1u;
    if (writeStatusWords) writeStatusWords();
    if (page.rowGroup != kNoRows) gui.showListGroup(page.rowGroup);
}

void writeFormulaWords() {
    for (std::size_t entry = 0; entry < 4; ++entry)
        writeFormulaWord(entry);
}

void writeVolumeWord() {
    const char* word = volumeWord(gui.volume);
    if (*word) setWhiteStatus(kVolumePanel, word);
}

} // namespace

void startClicked(std::uint32_t position) {
    pressMenuItem(position, 0.1f);
    startSession();
}

void goalMenuClicked(std::uint32_t position) {
    showPage(position, {bits({3}), 0, kGoalRows}, nullptr);
}

void modeMenuClicked(std::uint32_t position) {
    showPage(position, {bits({4, 5}), bits({7, 8}), kLevelRows}, writeCyclesWord);
}

void formulaMenuClicked(std::uint32_t position) {
    showPage(position, {bits({8, 9, 10, 11}), bits({9, 10, 11, 12, 13, 14, 15, 16}), kNoRows},
             writeFormulaWords);
}

void appearanceMenuClicked(std::uint32_t position) {
    showPage(position, {0, bits({0, 1, 2, 3, 4}), kNoRows}, nullptr);
}

void optionsMenuClicked(std::uint32_t position) {
    showPage(position, {bits({1, 2}), bits({5, 6}), kPulseIntervalRows}, writeVolumeWord);
}

void exitClicked(std::uint32_t position) {
    pressMenuItem(position, 0.5f);
    // The same orderly end as Esc: the window procedure runs the shutdown, once.
    Event close;
    close.kind = Event::Kind::Close;
    sendEvent(close);
}

void formulaStepClicked(std::uint32_t position) {
    releaseStepper(position);
    if (position < 9 || position > 16) return;
    const std::size_t entry = (position - 9) / 2;
    const bool up = (position - 9) % 2 == 1;
    // Inhale and exhale keep at least one beat; the pauses may be skipped with 0.
    const std::int32_t lowest = entry % 2 == 0 ? 1 : 0;
    std::int32_t& beats = gui.session.phaseBeats[entry];
    if (up && beats < 99) ++beats;
    if (!up && beats > lowest) --beats;
    writeFormulaWord(entry);
}

void cyclesStepClicked(std::uint32_t position) {
    releaseStepper(position);
    std::int32_t& cycles = gui.session.cyclesSetting;
    if (position == 7)
        cycles = cycles > 10 ? cycles - 10 : 10;
    else
        cycles = cycles < 60 ? cycles + 10 : 60;
    gui.session.cyclesLeft = cycles;
    writeCyclesWord();
}

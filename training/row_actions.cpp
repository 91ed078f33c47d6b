// The row actions: a goal or level sets the session's formula, a graph row the graph's mode.
#include "training/row_actions.hpp"

#include "gui/gui.hpp"

namespace {

constexpr std::int32_t kFirstGoalRow = 7;
constexpr std::int32_t kLastGoalRow = 18;
constexpr std::uint32_t kFirstLevelRow = 19;
constexpr std::uint32_t kLastLevelRow = 24;

// Every row action ends by marking its row chosen within the row's group.
void selectRow(std::uint32_t position) {
    if (position < gui.listButtons.size()) gui.selectListButton(1.0f, 0.3f, 0.31f, position);
}

} // namespace

void goalRowClicked(std::uint32_t position) {
    if (position >= static_cast<std::uint32_t>(kFirstGoalRow) &&
        position <= static_cast<std::uint32_t>(kLastGoalRow))
        gui.session.applyGoal(static_cast<std::int32_t>(position), gui.session.level);
    selectRow(position);
}

void levelRowClicked(std::uint32_t position) {
    if (position >= kFirstLevelRow && position <= kLastLevelRow)
        gui.session.applyGoal(gui.session.goal, static_cast<std::int32_t>(position - 18));
    selectRow(position);
}

void pulseIntervalRowClicked(std::uint32_t position) {
    if (position >= 4 && position <= 6)
        gui.pulseIntervalMode = static_cast<std::int32_t>(position - 4);
    selectRow(position);
}

void exerciseRowClicked(std::uint32_t position) {
    selectRow(position);
}

// The goal presets (each phase a simple function of the level) and the selectable rows' actions.
#include "training/presets.hpp"

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

BreathFormula presetFormula(std::int32_t goal, std::int32_t level) {
    const std::int32_t a = level;
    switch (goal) {
    case 7:
        return {a, 4 * a, 2 * a, 2 * a}; // relieve stress
    case 8:
        return {a, 2 * a, 2 * a, 2 * a}; // restore strength
    case 9:
        return {a, 4 * a, 2 * a, 4 * a}; // fall asleep sooner
    case 10:
        return {4 * a, 2 * a, 4 * a, 0}; // raise the tone
    case 11:
        return {a, 2 * a, 2 * a, 0}; // stop smoking
    case 12:
        return {a, 4 * a, 2 * a, 0}; // lose weight
    case 13:
        return {2 * a, 0, 2 * a, 2 * a}; // lower blood pressure
    case 14:
        return {a, 0, a, a * a + 1}; // long pause after the exhale
    case 15:
        return {2 * a, a, 2 * a, a}; // immunity 1
    case 16:
        return {a * a, a * a, a * a, a * a}; // immunity 2
    case 17:
        return {3 * a, a, 3 * a, a}; // headache
    case 18:
        return {2 * a, 0, 2 * a, 0}; // short forceful breaths
    default:
        return {1, 4, 2, 2}; // not a goal row: the start-up formula
    }
}

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

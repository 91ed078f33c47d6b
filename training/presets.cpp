// The goal presets: each phase a simple function of the level.
#include "training/presets.hpp"

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

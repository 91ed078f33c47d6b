// The five hide toggles of the training screen: the first five small buttons of the menu.
#pragma once

#include <cstddef>

#include "gui/gui.hpp"

enum class HideToggle : std::size_t {
    CycleDials = 0,  // "Скрыть таймеры"
    PulseGraph = 1,  // "Скрыть график"
    Background = 2,  // "Скрыть фон"
    Pacer = 3,       // "Скрыть задатчик": centre picture, disc and breath ring
    BeatSquares = 4, // "Скрыть дополнения"
};

// True while the element is drawn, i.e. its toggle is not checked (raised != 0). Before the
// menu exists the toggles count as unchecked, so nothing is hidden.
inline bool isShown(const Gui& g, HideToggle toggle) {
    const auto index = static_cast<std::size_t>(toggle);
    if (g.smallButtons.size() < 5) return true;
    return g.smallButtons[index].raised != 0;
}

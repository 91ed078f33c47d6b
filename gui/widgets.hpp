// The four widget records of the menu and the plain callback every widget carries.
#pragma once

#include <cstdint>
#include <string>

// Called with the widget's position in its own list (counted from 0 in creation order).
using WidgetCallback = void (*)(std::uint32_t position);

// Coordinates are menu-local: the menu frame spans -1..1 on both axes.
struct MenuItem {
    float x, y;
    float halfWidth, halfHeight;
    float red = 0.5f, green = 0.5f, blue = 0.5f, alpha = 0.7f;
    float growX = 0.0f, growY = 0.0f; // highlight enlargement, fraction of the half extents
    std::int32_t fadeDivisor = 1;
    std::uint8_t hovered = 0;
    std::uint8_t visible;
    WidgetCallback onHover;
    WidgetCallback onClick;
    const char* caption; // constant CP1251 text, not owned
};

// Stored colour order red, alpha, green, blue.
struct ListButton {
    float x, y;
    float halfWidth, halfHeight;
    float red = 0.5f, alpha = 0.7f, green = 0.5f, blue = 0.5f;
    float selectedRed = 0.0f, selectedGreen = 0.0f, selectedBlue = 0.0f;
    float growX = 0.0f, growY = 0.0f;
    std::int32_t fadeDivisor = 1;
    std::uint8_t hovered = 0;
    std::uint8_t selected = 0;
    std::int32_t group;
    std::uint8_t visible;
    WidgetCallback onHover;
    WidgetCallback onClick;
    const char* caption;
};

// Stored colour order red, alpha, green, blue; raised 1 = not checked, 0 = checked.
struct SmallButton {
    float x, y;
    float halfWidth, halfHeight;
    float red = 0.5f, alpha = 0.7f, green = 0.5f, blue = 0.5f;
    float checkedRed, checkedGreen, checkedBlue;
    float growX = 0.0f, growY = 0.0f;
    std::int32_t fadeDivisor = 1;
    std::uint8_t hovered = 0;
    std::uint8_t raised = 1;
    std::uint8_t visible;
    WidgetCallback onHover;
    WidgetCallback onClick;
    const char* caption;
};

// Panels are never hit-tested; index is unique among panels.
struct Panel {
    float x, y;
    float halfWidth, halfHeight;
    float red = 0.5f, green = 0.55f, blue = 0.5f, alpha = 0.7f;
    std::uint8_t visible;
    double statusRed = 0.0, statusGreen = 0.0, statusBlue = 0.0, statusAlpha = 1.0;
    const char* title;  // constant CP1251 text, not owned
    std::string status; // owned copy
    std::int32_t index;
};

// The menu as one frame shows it: where the frame stands and what each widget paints. The menu
// animation makes it and the menu drawing draws nothing else, so equal looks are equal pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Gui;

// Height of captions, titles and status lines, in menu-local units.
constexpr float kMenuCaptionSize = 0.07f;

// A rectangle in menu-local units: the menu frame spans -1..1 on both axes.
struct MenuArea {
    float left = 0.0f, bottom = 0.0f, right = 0.0f, top = 0.0f;
    void include(const MenuArea& a);
    bool operator==(const MenuArea&) const = default;
};

// Which part of the menu skin a widget's quad shows.
enum class MenuSkin : std::uint8_t { MenuItem, SmallButton, ListButton, Panel };

// One widget under the status lines: its skin quad, grown by its highlight, in its colour, and
// its caption (a panel's title, drawn black). A hidden widget is `visible` false and nothing else.
struct WidgetLook {
    bool visible = false;
    MenuSkin skin = MenuSkin::MenuItem;
    MenuArea quad;
    float red = 0.0f, green = 0.0f, blue = 0.0f, alpha = 0.0f;
    const char* caption = nullptr;             // constant CP1251 text, not owned
    float captionLeft = 0.0f, captionY = 0.0f; // where it starts, and the middle of its line
    bool operator==(const WidgetLook&) const = default;
};

// A panel's status line, drawn anew over the kept menu picture in every frame.
struct StatusLook {
    bool visible = false;
    std::string text; // CP1251
    float left = 0.0f, y = 0.0f;
    float red = 0.0f, green = 0.0f, blue = 0.0f, alpha = 0.0f;
    bool operator==(const StatusLook&) const = default;
};

struct MenuLook {
    float centreX = 0.0f, centreY = 0.0f; // the frame's centre, normalised screen units
    float scaleX = 0.0f, scaleY = 0.0f;   // its half extents: the zoom
    bool zoomSettled = false;             // the zoom did not move this frame: keep the picture
    std::vector<WidgetLook> widgets;      // in drawing order: entries, small buttons, rows, panels
    std::vector<StatusLook> statusLines;  // one per panel, in the panels' order
    bool operator==(const MenuLook&) const = default;
};

// The menu's look as its widgets stand now.
MenuLook menuLookOf(const Gui& g);

// A button's skin quad: its rectangle grown by the highlight, each grow a fraction of the half
// extent on both sides.
MenuArea grownQuad(float x, float y, float halfWidth, float halfHeight, float growX, float growY);

// The one user-interface object: textures, sensor state, session, widget lists, menu frame.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gui/widgets.hpp"
#include "render/images.hpp"
#include "sensor/sensor_state.hpp"
#include "training/training_screen_animation.hpp"
#include "training/training_session.hpp"

struct MenuLook;
struct Viewport;

class Gui {
public:
    std::int32_t menuTexture = 0;
    std::int32_t fontTexture = 1;
    std::int32_t barTexture = 2;
    std::int32_t backgroundTexture = 3;
    SensorState sensor;
    std::vector<MenuItem> menuItems;
    std::vector<ListButton> listButtons;
    std::vector<Panel> panels;
    std::vector<SmallButton> smallButtons;
    std::int32_t volume = 32765;     // 0..65535
    std::uint8_t inMenu = 1;         // 1: menu shown, session halted; 0: training screen
    std::int32_t pulseIntervalMode = 1; // 0 raw intervals, 1 cycle means, 2 ten-beat means
    TgaImage tgaImage;
    float menuCenterX = 0.0f, menuCenterY = 0.0f;
    float menuScaleX = 0.0f, menuScaleY = 0.0f; // eased toward the targets by the menu animation
    float menuTargetScaleX = 0.9f, menuTargetScaleY = 0.8f;
    TrainingSession session;
    TrainingScreenState trainingScreen;
    // A line over the training screen (CP1251), in the top bar's band, which the breathing-rate
    // test's formulas leave empty (they have no pauses); empty: none is drawn.
    std::string trainingCaption;

    // Sets the initial values and loads the four textures (only with a current GL context).
    Gui();
    Gui(const Gui&) = default;
    Gui& operator=(const Gui&) = default;

    // --- widgets (gui/gui.cpp) ---
    void addMenuItem(float x, float y, float halfWidth, float halfHeight, std::uint8_t visible,
                     const char* caption, WidgetCallback onHover, WidgetCallback onClick);
    void addListButton(std::int32_t group, float x, float y, float halfWidth, float halfHeight,
                       std::uint8_t visible, const char* caption, WidgetCallback onHover,
                       WidgetCallback onClick);
    void addSmallButton(float x, float y, float checkedRed, float checkedGreen, float checkedBlue,
                        float halfWidth, float halfHeight, std::uint8_t visible,
                        const char* caption, WidgetCallback onHover, WidgetCallback onClick);
    // False (and nothing appended) when a panel with this index exists already.
    bool addPanel(std::int32_t index, float x, float y, float halfWidth, float halfHeight,
                  std::uint8_t visible, const char* title, std::string status);
    void styleMenuItem(float growX, float growY, std::int32_t fadeDivisor, float red,
                       float green, float blue, float alpha, std::uint32_t position);
    void styleListButton(float growX, float growY, std::int32_t fadeDivisor, float red,
                         float green, float blue, float alpha, std::uint32_t position);
    void styleSmallButton(float growX, float growY, std::int32_t fadeDivisor, float red,
                          float green, float blue, float alpha, std::uint32_t position);
    void selectListButton(float red, float green, float blue, std::uint32_t position);
    void hideAllListButtons();
    void showListGroup(std::int32_t group);
    void hideListGroup(std::int32_t group);
    void setPanelStatus(std::int32_t index, double red, double green, double blue, double alpha,
                        std::string text);

    // --- pointer input (gui/pointer_input.cpp); x, y normalised, y up ---
    bool hitTest(std::uint8_t visible, float x, float y, float cx, float cy, float halfWidth,
                 float halfHeight) const;
    bool insideMenuFrame(float x, float y) const;
    void onHover(float x, float y);
    void onClick(float x, float y);

    // --- images and textures (render/textures.cpp, render/tga_reader.cpp) ---
    void loadTextures();
    // Reads an uncompressed 24/32-bit TGA into tgaImage; null when missing or not acceptable.
    TgaImage* loadTga(const char* path);

    // --- drawing (render/): draws the state as the frame's advance left it, changes none ---
    // Text, menu and training overlays are drawn in the overlay state: the alpha test at
    // GL_GREATER 0.1 over SRC_ALPHA, ONE_MINUS_SRC_ALPHA blending.
    void drawText(float x, float y, float size, std::string_view text) const; // CP1251 bytes
    void drawMenu(const MenuLook& look, const Viewport& viewport) const;
    void drawTraining(const Viewport& viewport) const;
    void drawBackgroundMesh() const;
    void drawCornerOrnaments() const;
    void drawScreenFrame() const;
    void drawInnerPanel() const;
    void drawPulseGraph() const;
};

// The one global Gui, constructed before any window exists.
extern Gui gui;

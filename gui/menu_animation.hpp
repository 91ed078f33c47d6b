// The menu's animation: the frame zooming open and the widgets' highlights fading.
#pragma once

#include "gui/menu_look.hpp"

class Gui;

struct MenuStep {
    MenuLook look;       // what this frame shows
    bool moving = false; // the zoom or a fade is on its way: later frames change by themselves
};

// One menu frame: the zoom eases a twentieth of the way to its target, the look this frame
// shows is taken, then every visible widget's highlight fades a step for the next frame (a
// selected row returns to its selected colour). Hidden widgets keep their fade where it stands.
MenuStep advanceMenu(Gui& g);

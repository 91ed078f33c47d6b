// STUB: replaced by the training screen.
#include "gui/gui.hpp"

void Gui::drawTraining() {}
void Gui::drawBackgroundMesh() {}
void Gui::drawCornerOrnaments() {}
void Gui::drawScreenFrame() {}
void Gui::drawInnerPanel() {}
void Gui::drawPulseGraph() {}

// STUB: replaced by the training session.
#include "training/training_session.hpp"
#include "gui/gui.hpp"

void TrainingSession::onBeat(bool) {}
void TrainingSession::restart() { gui.inMenu = 0; }
void TrainingSession::applyGoal(std::int32_t, std::int32_t) {}

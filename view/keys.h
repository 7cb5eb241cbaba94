#pragma once
// Keyboard and special-key commands of the window.
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {

void keyboardHandler(Simulation& sim, ViewState& view, unsigned char key, int x, int y);
void specialKeyHandler(Simulation& sim, ViewState& view, int key, int x, int y);
void jumpToFrame(Simulation& sim, ViewState& view);

}  // namespace qv

#pragma once
// The right-button pop-up menu.
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {

// Builds the menu tree; GLUT calls `handler` with the chosen entry's value.
void buildMenus(void (*handler)(int));
void menuHandler(Simulation& sim, ViewState& view, int value);
void askCoolingTolerance(Simulation& sim);

}  // namespace qv

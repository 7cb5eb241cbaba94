#pragma once
// Slice view and neighbour highlighting dialogues.
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {

void askSlice(ViewState& view);
void highlightNeighbours(Simulation& sim, ViewState& view);

}  // namespace qv

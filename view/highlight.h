#pragma once
// Slice view and neighbour highlighting dialogues.
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {

// The slice is given in fractions of Rapar, so the dialogue reads the run's apparatus radius.
void askSlice(const Simulation& sim, ViewState& view);
void highlightNeighbours(Simulation& sim, ViewState& view);

}  // namespace qv

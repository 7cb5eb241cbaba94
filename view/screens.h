#pragma once
// Console screens raised from the window: key help and parameter listing.
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {

void showHelp();
void showParameters(const Simulation& sim, const ViewState& view);

}  // namespace qv

#pragma once
// Console screens raised from the window: key help and parameter listing.
#include "sim/simulation.h"

namespace qv {

void showHelp();
void showParameters(const Simulation& sim);

}  // namespace qv

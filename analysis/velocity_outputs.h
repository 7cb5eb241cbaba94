#pragma once
// Velocity distribution outputs: velocity rows, 2-D speed density and the Maxboltz table.
#include "sim/particle.h"
#include "sim/simulation.h"

namespace qv {

void writeVelocityRows(const Simulation& sim, const Particle* particles, int liveCount);
void writeSpeedDensity(const Simulation& sim, const Particle* particles, int liveCount);
// The Maxboltz table from the speeds the Data rows kept, when the speed distribution is on.
void writeMaxboltzTable(const Simulation& sim);

}  // namespace qv

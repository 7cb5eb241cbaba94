#pragma once
// Velocity distribution outputs: velocity rows, 2-D speed density and the Maxboltz table.
#include "sim/particle.h"

namespace qv {

void writeVelocityRows(int liveCount, const Particle* particles);
void writeSpeedDensity(const Particle* particles, int liveCount);
// The at-exit handler: Maxboltz table when asked for, release of the arrays, farewell line.
void writeMaxboltzAndFarewell();

}  // namespace qv

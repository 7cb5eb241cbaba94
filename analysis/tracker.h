#pragma once
// The particle tracker: chosen array slots followed in the Tracker file.
#include "sim/particle.h"
#include "sim/simulation.h"

namespace qv {

// Asks for a particle number to follow. Returns false when nothing was added (all slots in use,
// or the question was given up).
bool askTrackedParticle(Simulation& sim);
// One row of the tracked slots of `slots` (every slot of the run, as sampled).
void writeTrackerRow(const Simulation& sim, const Particle* slots);

}  // namespace qv

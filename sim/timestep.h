#pragma once
// One molecular-dynamics step of the live grains.
#include "sim/particle.h"

namespace qv {

// Advances the first `liveCount` records of `particles` by one time step: wall and collisions,
// forces, thermostat, the sampling of energies, temperature and coupling, the outputs of a
// sampling frame, the status line and the integration. May lower the live count (and raise
// numDeadParticles) when an escaped dead particle returns to the reserve.
void timeStepOnce(Particle* particles, int liveCount);

}  // namespace qv

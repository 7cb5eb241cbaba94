#pragma once
// Grains in a neutral gas: Epstein drag at the rate gamma and the random kicks of the gas
// atoms at its temperature, so that the grains sample that temperature whatever the step.
#include "sim/particle.h"
#include "sim/random.h"

namespace qv {

struct LangevinModel {
    double friction = 0;     // gamma, per inverse electron plasma frequency
    double temperature = 0;  // k T_n of the gas in units of k Te
    double timeStep = 0;
};

// One step of the splitting kick (whole step, force at the old positions), drift half a step,
// exact Ornstein-Uhlenbeck update of the velocity over the whole step, drift half a step. Between
// steps the velocities are those just after the gas's update, which for free grains are exactly
// Maxwellian at the gas temperature. Records without mass neither move by force nor feel the gas;
// immovable ones (mass above 1e30) feel no kicks. Draws three numbers per massive record, in
// record order.
void integrateLangevin(Particle* particles, int n, const double* force, const LangevinModel& gas,
                       Random& random);

}  // namespace qv

#pragma once
// One molecular-dynamics step of the live grains.
#include <vector>

#include "sim/particle.h"
#include "sim/simulation.h"

namespace qv {

enum class FrameKind {
    Plain,        // nothing is measured
    Sampling,     // energies, temperature, coupling; the result files are due
    Temperature,  // temperature and coupling only, for the thermostat
};

// What a step did, for the caller to write: the step itself does no I/O.
struct StepReport {
    FrameKind frame = FrameKind::Plain;
    int live = 0;  // live count after dead particles far outside went back to the reserve
    // Dead particles that left for good, as they were when they left.
    std::vector<Particle> escaped;
    // On a sampling frame: every slot as measured, before the integration moved it.
    std::vector<Particle> sampled;
    // On sampling and temperature frames, the values measured (also left in `sim`).
    Energies energies;
    double temperatureRatio = 0;
    double ccple = 0;
};

// Advances the live grains of `sim` by one time step: wall and collisions, forces, thermostat,
// the sampling of energies, temperature and coupling, and the integration. Escaped dead
// particles return to the reserve, lowering the live count.
StepReport timeStepOnce(Simulation& sim);

// The forces of the run's interaction and field as the switches have them: pair forces (screened
// as the options say, with their cutoff) and the apparatus field; no thermostat, nothing sampled.
ForceModel forceModelOf(const Simulation& sim);

// The dust temperature from the mean grain speed (squared mean, not mean square) and the
// coupling parameter it gives. The mean divides by every live record, dead ones in flight too;
// `speedSum` sums the grains' speeds only.
void measureTemperatureAndCoupling(Simulation& sim, double speedSum, int live);

// Ends a sampling frame once the caller has written its outputs: the coupling measured joins
// the thermostat's running average only now, since the pair correlation file records the
// average from before this frame.
void completeSamplingFrame(Simulation& sim, const StepReport& report);

}  // namespace qv

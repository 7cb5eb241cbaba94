#pragma once
// One molecular-dynamics step of the live grains.
#include "analysis/runlog.h"
#include "analysis/structure.h"
#include "analysis/tracker.h"
#include "sim/cooling.h"
#include "sim/particle.h"
#include "sim/velocity_outputs.h"

namespace qv {

// Advances the first `liveCount` records of `particles` by one time step: wall and collisions,
// forces, thermostat, the sampling of energies, temperature and coupling, the outputs of a
// sampling frame, the status line and the integration. May lower the live count (and raise
// numDeadParticles) when an escaped dead particle returns to the reserve.
void timeStepOnce(Particle* particles, int liveCount);

// The outputs the step drives, in one replaceable table so that tests and benchmarks can watch
// or silence them. The defaults are the program's own functions.
struct StepOutputs {
    void (*writeDataRow)() = &qv::writeDataRow;
    void (*computeFieldStructure)(const Particle*, int) = &qv::computeFieldStructure;
    void (*computePairCorrelation)(const Particle*, int) = &qv::computePairCorrelation;
    void (*computeShellStructure)(const Particle*, int) = &qv::computeShellStructure;
    void (*updateCcpleAverage)() = &qv::updateCcpleAverage;
    void (*writeTrackerRow)() = &qv::writeTrackerRow;
    void (*writeVelocityRows)(int, const Particle*) = &qv::writeVelocityRows;
    void (*writeSpeedDensity)(const Particle*, int) = &qv::writeSpeedDensity;
    void (*printStatusLine)() = &qv::printStatusLine;
    void (*writeDetectorRow)(Particle) = &qv::writeDetectorRow;
};
inline StepOutputs stepOutputs;

}  // namespace qv

#include "sim/timestep.h"

#include <algorithm>
#include <cmath>

#include "sim/collisions.h"
#include "sim/constants.h"
#include "sim/kernels.h"
#include "sim/simulation.h"

namespace qv {
namespace {

enum class Frame {
    Plain,        // nothing is measured
    Sampling,     // energies, temperature, coupling and the result files
    Temperature,  // temperature and coupling only, for the thermostat
};

KernelWorkspace& workspace() {
    static KernelWorkspace buffers;
    return buffers;
}

// A period below 1 would divide by zero; such a period never comes round.
bool isMultiple(int frame, int period) {
    return period > 0 && frame % period == 0;
}

void clearForces(int live) {
    const std::size_t needed = 3 * static_cast<std::size_t>(live);
    // The set-up sizes the accumulator for the whole array; never write past it.
    if (sim.arrays.forceArray.size() < needed) sim.arrays.forceArray.resize(needed);
    std::fill(sim.arrays.forceArray.begin(), sim.arrays.forceArray.begin() + needed, 0.0);
}

// A dead particle far outside is logged and becomes the last waiting one again; the last live
// record takes its slot.
void returnToReserve(Particle* particles, int slot, int live) {
    stepOutputs.writeDetectorRow(particles[slot]);
    particles[slot].assign(particles[live - 1]);
    Particle& waiting = particles[live - 1];
    waiting.reset();
    waiting.setColour(deadColourRed, deadColourGreen, deadColourBlue);
    waiting.pos[1] = sim.reserve.deadParkY;
    waiting.rad = sim.model.grainRadius;
    sim.reserve.numDeadParticles += 1;
}

// Returns the live count, lowered by every dead particle returned to the reserve.
int boundaryPass(Particle* particles, int live) {
    const double bigR = sim.model.apparatusRadius;
    for (int p = 0; p < live; ++p) {
        Particle& a = particles[p];
        const double r = a.distanceFromCentre();
        if (!(r >= bigR - a.rad)) continue;
        if (a.isDeadParticle()) {
            // Dead particles fly freely through the wall; only far away do they count as gone.
            // A dead particle moved into this slot waits for the next step, but a grain moved
            // here must not stay beyond the wall.
            if (r >= 5.0 * bigR) {
                returnToReserve(particles, p, live);
                --live;
                if (!a.isDeadParticle() && sim.switches.wallOn > 0) reflectFromWall(a);
            }
        } else if (sim.switches.wallOn > 0) {
            reflectFromWall(a);
        }
    }
    return live;
}

bool isSamplingFrame() {
    return sim.clock.currentFrame == 1 || isMultiple(sim.clock.currentFrame, sim.clock.analysisFreq);
}

// From the boundary pass to the integration nothing moves a particle (collisions change only
// velocities), so one sweep over all pairs finds both what the overlap pass tests and the pair
// forces and energy the force pass adds.
void sweepPairs(const Particle* particles, int live) {
    PairSweep sweep;
    sweep.forces = sim.switches.pairInteractionOn == 1;
    sweep.energy = isSamplingFrame();
    sweep.debyeSphereCount = sim.model.debyeSphereCount;
    sweepPairsFast(particles, live, sweep, workspace());
}

void overlapPass(Particle* particles) {
    collideSweptPairs(particles, workspace());
}

// Clears the energy sums and lets the thermostat see whether the averaged coupling is within
// tolerance of its target. Returns the relative error e of the coupling (0 while not cooling).
double resetEnergiesAndUpdateCoolingState() {
    sim.energies.kineticEnergy = 0;
    sim.energies.pairEnergy = 0;
    sim.energies.apparatusEnergy = 0;
    if (sim.thermostat.state <= 0) return 0.0;
    const double error = std::abs(sim.thermostat.ccpleAverage - sim.thermostat.ccpleTarget) / sim.thermostat.ccpleTarget;
    // A target of 0 (or an average that is not a number yet) gives no relative error to steer
    // by: the state stays as it is and the thermostat exerts no force.
    if (!std::isfinite(error)) return 0.0;
    sim.thermostat.state = sim.thermostat.coolingTolerance >= error ? 2 : 1;
    return error;
}

Frame classifyFrame() {
    if (isSamplingFrame()) return Frame::Sampling;
    // While the thermostat acts it needs a fresh coupling every frame.
    if (sim.thermostat.state == 1 || isMultiple(sim.clock.currentFrame, sim.clock.coolingSampleFreq))
        return Frame::Temperature;
    return Frame::Plain;
}

// Adds the swept pair forces and the apparatus and thermostat forces to forceArray; returns the
// speed sum of the grains.
double forcePass(const Particle* particles, int live, double coolingError, Frame frame) {
    ForceModel model;
    model.debyeSphereCount = sim.model.debyeSphereCount;
    model.apparatusRadius = sim.model.apparatusRadius;
    model.totalCharge = sim.model.totalCharge;
    model.timeStep = sim.model.timeStep;
    model.pairForces = sim.switches.pairInteractionOn == 1;
    model.apparatusField = sim.switches.apparatusFieldOn == 1;
    model.thermostat = sim.thermostat.state == 1;
    model.thermostatError = coolingError;
    model.thermostatHeats = sim.thermostat.ccpleAverage > sim.thermostat.ccpleTarget;
    model.samplingFrame = frame == Frame::Sampling;
    model.temperatureFrame = frame == Frame::Temperature;
    const EnergySums sums =
        addSweptForces(particles, live, model, sim.arrays.forceArray.data(), workspace());
    sim.energies.kineticEnergy = sums.kineticEnergy;
    sim.energies.pairEnergy = sums.pairEnergy;
    sim.energies.apparatusEnergy = sums.apparatusEnergy;
    return sums.speedSum;
}

// The dust temperature from the mean grain speed (squared mean, not mean square) and the
// coupling parameter it gives. The mean divides by every live record, dead ones in flight too.
void measureTemperatureAndCoupling(double speedSum, int live) {
    if (live <= 0) return;  // nothing to average over: keep the last values
    const double meanSpeed = speedSum / live;
    sim.thermostat.temperatureRatio = meanSpeed * meanSpeed * sim.model.grainMass / 3.0;
    sim.thermostat.ccple =
        sim.model.grainCharge * sim.model.grainCharge /
        (3.0 * sim.model.interparticleDistance * sim.thermostat.temperatureRatio * sim.model.debyeSphereCount);
}

void frameOutputs(const Particle* particles, int live, Frame frame) {
    if (frame == Frame::Temperature && sim.thermostat.state > 0) stepOutputs.updateCcpleAverage();
    if (frame != Frame::Sampling) return;
    stepOutputs.writeDataRow();
    // The periodic structure analyses run unless a schedule or the firing automation drives
    // them; while they run, automatedAnalysis 1 tells them to work without prompts.
    if (sim.switches.automatedAnalysis != 1 && sim.switches.autoFiringOn != 1) {
        stepOutputs.computeFieldStructure(particles, live);
        sim.switches.automatedAnalysis = 1;
        stepOutputs.computePairCorrelation(particles, live);
        stepOutputs.computeShellStructure(particles, live);
        sim.switches.automatedAnalysis = 0;
    }
    if (sim.thermostat.state > 0) stepOutputs.updateCcpleAverage();
    if (sim.tracker.trackedCount > 0) stepOutputs.writeTrackerRow();
    if (sim.switches.velocityTrackingOn > 0) {
        stepOutputs.writeVelocityRows(live, particles);
        stepOutputs.writeSpeedDensity(particles, live);
    }
}

}  // namespace

// Phases of one step, in order:
//   1. clear the force accumulator;
//   2. boundary pass: escaped dead particles back to the reserve, grains bounced off the wall;
//      then one sweep over all pairs, whose results serve phases 3 and 5;
//   3. overlap pass: hard-sphere collisions;
//   4. energy sums cleared, thermostat state from the averaged coupling;
//   5. force pass: pair forces, apparatus field, thermostat, energy and speed sums;
//   6. temperature and coupling on sampling and temperature frames;
//   7. result files of a sampling frame;
//   8. status line;
//   9. semi-implicit Euler integration.
void timeStepOnce(Particle* particles, int liveCount) {
    int live = std::max(liveCount, 0);
    clearForces(live);
    live = boundaryPass(particles, live);
    sweepPairs(particles, live);
    overlapPass(particles);
    const double coolingError = resetEnergiesAndUpdateCoolingState();
    const Frame frame = classifyFrame();
    const double speedSum = forcePass(particles, live, coolingError, frame);
    if (frame != Frame::Plain) measureTemperatureAndCoupling(speedSum, live);
    frameOutputs(particles, live, frame);
    stepOutputs.printStatusLine();
    integrate(particles, live, sim.arrays.forceArray.data(), sim.model.timeStep);
}

}  // namespace qv

#include "sim/timestep.h"

#include <algorithm>
#include <cmath>

#include "sim/collisions.h"
#include "sim/constants.h"
#include "sim/cooling.h"
#include "sim/dead_particles.h"
#include "sim/kernels.h"
#include "sim/langevin.h"

namespace qv {
namespace {

// A period below 1 would divide by zero; such a period never comes round.
bool isMultiple(int frame, int period) {
    return period > 0 && frame % period == 0;
}

void clearForces(Simulation& sim, int live) {
    const std::size_t needed = 3 * static_cast<std::size_t>(live);
    // The set-up sizes the accumulator for the whole array; never write past it.
    if (sim.arrays.forceArray.size() < needed) sim.arrays.forceArray.resize(needed);
    std::fill(sim.arrays.forceArray.begin(), sim.arrays.forceArray.begin() + needed, 0.0);
}

// A dead particle far outside is reported and becomes the last waiting one again; the last live
// record takes its slot.
void returnToReserve(Simulation& sim, StepReport& report, int slot, int live) {
    Particle* particles = sim.particles();
    report.escaped.push_back(particles[slot]);
    particles[slot].assign(particles[live - 1]);
    parkAsDead(sim, particles[live - 1]);
    sim.reserve.numDeadParticles += 1;
}

// Returns the live count, lowered by every dead particle returned to the reserve.
int boundaryPass(Simulation& sim, StepReport& report, int live) {
    Particle* particles = sim.particles();
    const double bigR = sim.model.apparatusRadius;
    const double dt = sim.model.timeStep;
    for (int p = 0; p < live; ++p) {
        Particle& a = particles[p];
        const double r = a.distanceFromCentre();
        if (!(r >= bigR - a.rad)) continue;
        if (a.isDeadParticle()) {
            // Dead particles fly freely through the wall; only far away do they count as gone.
            // A dead particle moved into this slot waits for the next step, but a grain moved
            // here must not stay beyond the wall.
            if (r >= 5.0 * bigR) {
                returnToReserve(sim, report, p, live);
                --live;
                if (!a.isDeadParticle() && sim.switches.wallOn) reflectFromWall(a, bigR, dt);
            }
        } else if (sim.switches.wallOn) {
            reflectFromWall(a, bigR, dt);
        }
    }
    return live;
}

double pairCutoff(const Simulation& sim) {
    return screenedCutoff(sim.options.screeningLength, sim.model.interparticleDistance,
                          sim.options.cutoffTolerance);
}

bool isSamplingFrame(const Simulation& sim) {
    return sim.clock.currentFrame == 1 ||
           isMultiple(sim.clock.currentFrame, sim.clock.analysisFreq);
}

// From the boundary pass to the integration nothing moves a particle (collisions change only
// velocities), so one sweep over all pairs finds both what the overlap pass tests and the pair
// forces and energy the force pass adds.
void sweepPairs(Simulation& sim, int live, const ForceModel& model) {
    PairSweep sweep = pairSweepFor(model);
    sweep.energy = isSamplingFrame(sim);
    sweepPairsFast(sim.particles(), live, sweep, sim.workspace);
}

// Clears the energy sums and lets the thermostat see whether the averaged coupling is within
// tolerance of its target. Returns the relative error e of the coupling (0 while not cooling).
double resetEnergiesAndUpdateCoolingState(Simulation& sim) {
    sim.energies = Energies{};
    Thermostat& t = sim.thermostat;
    if (t.coolingState == CoolingState::Off) return 0.0;
    const double error = std::abs(t.ccpleAverage - t.ccpleTarget) / t.ccpleTarget;
    // A target of 0 (or an average that is not a number yet) gives no relative error to steer
    // by: the state stays as it is and the thermostat exerts no force.
    if (!std::isfinite(error)) return 0.0;
    t.coolingState =
        t.coolingTolerance >= error ? CoolingState::TargetReached : CoolingState::Steering;
    return error;
}

FrameKind classifyFrame(const Simulation& sim) {
    if (isSamplingFrame(sim)) return FrameKind::Sampling;
    // While the thermostat acts it needs a fresh coupling every frame.
    if (sim.thermostat.coolingState == CoolingState::Steering ||
        isMultiple(sim.clock.currentFrame, sim.clock.coolingSampleFreq))
        return FrameKind::Temperature;
    return FrameKind::Plain;
}

// Adds the swept pair forces and the apparatus and thermostat forces to forceArray; returns the
// speed sum of the grains.
double forcePass(Simulation& sim, int live, ForceModel model, double coolingError,
                 FrameKind frame) {
    // The gas takes the coupling thermostat's place unless asked to act beside it.
    model.thermostat = sim.thermostat.coolingState == CoolingState::Steering &&
                       (!sim.options.langevin() || sim.options.couplingThermostat);
    model.thermostatError = coolingError;
    model.thermostatHeats = sim.thermostat.ccpleAverage > sim.thermostat.ccpleTarget;
    model.samplingFrame = frame == FrameKind::Sampling;
    model.temperatureFrame = frame == FrameKind::Temperature;
    const EnergySums sums =
        addSweptForces(sim.particles(), live, model, sim.arrays.forceArray.data(), sim.workspace);
    sim.energies.kineticEnergy = sums.kineticEnergy;
    sim.energies.pairEnergy = sums.pairEnergy;
    sim.energies.apparatusEnergy = sums.apparatusEnergy;
    return sums.speedSum;
}

}  // namespace

ForceModel forceModelOf(const Simulation& sim) {
    ForceModel model;
    model.debyeSphereCount = sim.model.debyeSphereCount;
    model.screeningLength = sim.options.screeningLength;
    model.cutoff = pairCutoff(sim);
    model.apparatusRadius = sim.model.apparatusRadius;
    model.totalCharge = sim.model.totalCharge;
    model.timeStep = sim.model.timeStep;
    model.pairForces = sim.switches.pairInteractionOn;
    model.apparatusField = sim.switches.apparatusFieldOn;
    return model;
}

void measureTemperatureAndCoupling(Simulation& sim, double speedSum, int live) {
    if (live <= 0) return;  // nothing to average over: keep the last values
    const double meanSpeed = speedSum / live;
    sim.thermostat.temperatureRatio = meanSpeed * meanSpeed * sim.model.grainMass / 3.0;
    sim.thermostat.ccple = sim.model.grainCharge * sim.model.grainCharge /
                           (3.0 * sim.model.interparticleDistance *
                            sim.thermostat.temperatureRatio * sim.model.debyeSphereCount);
}

// Phases of one step, in order:
//   1. clear the force accumulator;
//   2. boundary pass: escaped dead particles back to the reserve, grains bounced off the wall;
//      then one sweep over all pairs, whose results serve phases 3 and 5;
//   3. overlap pass: hard-sphere collisions;
//   4. energy sums cleared, thermostat state from the averaged coupling;
//   5. force pass: pair forces, apparatus field, thermostat, energy and speed sums;
//   6. temperature and coupling on sampling and temperature frames; on a sampling frame the
//      state as measured is kept for the caller's outputs;
//   7. semi-implicit Euler integration.
StepReport timeStepOnce(Simulation& sim) {
    StepReport report;
    int live = std::max(sim.liveCount(), 0);
    clearForces(sim, live);
    live = boundaryPass(sim, report, live);
    // One model for the sweep and the force pass: the cutoff is found once a step.
    const ForceModel model = forceModelOf(sim);
    sweepPairs(sim, live, model);
    collideSweptPairs(sim.particles(), sim.workspace);
    const double coolingError = resetEnergiesAndUpdateCoolingState(sim);
    report.frame = classifyFrame(sim);
    report.live = live;
    const double speedSum = forcePass(sim, live, model, coolingError, report.frame);
    if (report.frame != FrameKind::Plain) {
        measureTemperatureAndCoupling(sim, speedSum, live);
        report.energies = sim.energies;
        report.temperatureRatio = sim.thermostat.temperatureRatio;
        report.ccple = sim.thermostat.ccple;
    }
    if (report.frame == FrameKind::Temperature && sim.thermostat.coolingState != CoolingState::Off)
        updateCcpleAverage(sim.thermostat);
    if (report.frame == FrameKind::Sampling) {
        const std::size_t slots = std::min(static_cast<std::size_t>(std::max(sim.numParticles, 0)),
                                           sim.arrays.particleArray.size());
        report.sampled.assign(
            sim.arrays.particleArray.begin(),
            sim.arrays.particleArray.begin() + static_cast<std::ptrdiff_t>(slots));
    }
    if (sim.options.langevin()) {
        const LangevinModel gas{
            sim.options.friction / electronPlasmaFrequency(sim.model.plasmaDensity),
            sim.options.gasTemperature / sim.model.plasmaTemperature, sim.model.timeStep};
        integrateLangevin(sim.particles(), live, sim.arrays.forceArray.data(), gas, sim.random);
    } else {
        integrate(sim.particles(), live, sim.arrays.forceArray.data(), sim.model.timeStep);
    }
    return report;
}

void completeSamplingFrame(Simulation& sim, const StepReport& report) {
    if (report.frame == FrameKind::Sampling && sim.thermostat.coolingState != CoolingState::Off)
        updateCcpleAverage(sim.thermostat);
}

}  // namespace qv

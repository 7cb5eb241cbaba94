#pragma once
// Relaxing a cloud into a local minimum of its potential energy (FIRE, Bitzek et al. 2006), and
// a search for the lowest of those minima by annealing from several seeds and relaxing each
// result. Pure functions over the particle array, like the kernels they call. Records without
// mass and immovable ones (mass above 1e30) stay where they are.
#include <vector>

#include "sim/kernels.h"
#include "sim/particle.h"

namespace qv {

// Sets force (x, y, z per particle) to minus the gradient of the potential energy and returns
// that energy: every pair once, and for every record with mass the energy in the apparatus
// field, -q Q (3 - r^2 / R^2) / (6 ND R) inside the sphere and -q Q / (3 ND r) outside. Terms
// follow model.pairForces and model.apparatusField; the thermostat is left out.
double forcesAndEnergy(const Particle* particles, int n, const ForceModel& model, double* force,
                       KernelWorkspace& workspace);
double potentialEnergy(const Particle* particles, int n, const ForceModel& model,
                       KernelWorkspace& workspace);

// The interparticle distance of `grains` spread evenly through a sphere of the given radius.
double evenSpacing(int grains, double radius);
// The force q^2 / (3 ND a^2) between two grains of charge q at the distance a.
double neighbourForce(double charge, double spacing, const ForceModel& model);
// A millionth of the neighbour force: far below what moves a grain visibly.
double defaultForceTolerance(double charge, double spacing, const ForceModel& model);

struct MinimiseOptions {
    // Largest force on a movable record at a minimum. 0 takes defaultForceTolerance for the mean
    // charge of the movable records at their even spacing in the apparatus.
    double forceTolerance = 0;
    int maxIterations = 100000;
    double initialStep = 0;        // 0 takes model.timeStep
    double maxStep = 0;            // 0 takes 10 initial steps
    int minDownhillSteps = 5;      // N_min: downhill steps before the step may grow
    double stepIncrease = 1.1;     // f_inc
    double stepDecrease = 0.5;     // f_dec
    double mixingStart = 0.1;      // alpha_start
    double mixingDecrease = 0.99;  // f_alpha
};

struct MinimiseResult {
    double energyBefore = 0;
    double energyAfter = 0;
    int iterations = 0;
    double largestForce = 0;  // on a movable record, at the end
    bool converged = false;   // the largest force reached the tolerance
};

// Relaxes the particles from where they are to a local minimum of potentialEnergy; all
// velocities are zero at the end.
MinimiseResult minimiseFire(Particle* particles, int n, const ForceModel& model,
                            const MinimiseOptions& options, KernelWorkspace& workspace);

struct GroundStateOptions {
    int tries = 4;
    unsigned long seed = 1;  // try t draws from seed + t
    int annealSteps = 2000;  // of model.timeStep, from the start temperature linearly down to 0
    // k T in units of k Te. 0 takes a coupling of 20, q^2 / (3 ND a) / 20 for the mean charge of
    // the movable records at their even spacing a in the apparatus.
    double startTemperature = 0;
    double friction = 0;  // gamma; 0 takes three dust plasma frequencies
    MinimiseOptions minimise;
};

struct GroundStateResult {
    double energy = 0;  // of the configuration kept
    int bestTry = -1;   // none without tries
    std::vector<MinimiseResult> tries;
};

// From the given state, tries times: thermal velocities at the start temperature, Langevin
// dynamics while the gas cools to 0, then minimiseFire. Writes back the lowest minimum found
// (the particles are left alone without tries). The same seed gives the same bits.
GroundStateResult searchGroundState(Particle* particles, int n, const ForceModel& model,
                                    const GroundStateOptions& options, KernelWorkspace& workspace);

}  // namespace qv

#include "sim/minimise.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/constants.h"
#include "sim/langevin.h"
#include "sim/random.h"

namespace qv {
namespace {

bool movable(const Particle& p) {
    return p.m != 0.0 && p.m <= immovableMass;
}

// Pair and apparatus forces, and the sampled sums when asked, from a cleared accumulator.
EnergySums forcePass(const Particle* particles, int n, const ForceModel& model, double* force,
                     bool energy, KernelWorkspace& ws) {
    std::fill(force, force + 3 * static_cast<std::ptrdiff_t>(n), 0.0);
    ForceModel quiet = model;
    quiet.thermostat = false;
    quiet.samplingFrame = energy;
    return forcePassFast(particles, n, quiet, force, ws);
}

double apparatusEnergy(const Particle& p, const ForceModel& model) {
    const double nd = model.debyeSphereCount;
    const double bigR = model.apparatusRadius;
    const double qQ = p.q * model.totalCharge;
    const double r = p.distanceFromCentre();
    // Outside, the potential of the sphere's charge as seen from afar, continuous at R.
    if (r >= bigR) return -qQ / (3.0 * nd * r);
    return -qQ / (2.0 * bigR * nd) * (1.0 - (r / bigR) * (r / bigR) / 3.0);
}

struct MovableRecords {
    int count = 0;
    double meanCharge = 0;
    double plasmaFrequency2 = 0;  // mean of |q Q| / (ND R^3 m), the dust plasma frequency squared
};

MovableRecords movableRecords(const Particle* particles, int n, const ForceModel& model) {
    MovableRecords s;
    const double bigR = model.apparatusRadius;
    for (int p = 0; p < n; ++p) {
        const Particle& a = particles[p];
        if (!movable(a)) continue;
        ++s.count;
        s.meanCharge += a.q;
        s.plasmaFrequency2 +=
            std::abs(a.q * model.totalCharge) / (model.debyeSphereCount * bigR * bigR * bigR * a.m);
    }
    if (s.count > 0) {
        s.meanCharge /= s.count;
        s.plasmaFrequency2 /= s.count;
    }
    return s;
}

double toleranceFor(const Particle* particles, int n, const ForceModel& model,
                    const MinimiseOptions& options) {
    if (options.forceTolerance > 0.0) return options.forceTolerance;
    const MovableRecords s = movableRecords(particles, n, model);
    const double t =
        defaultForceTolerance(s.meanCharge, evenSpacing(s.count, model.apparatusRadius), model);
    return std::isfinite(t) ? t : 0.0;
}

struct Sums {
    double power = 0;  // F . v
    double force2 = 0;
    double largestForce = 0;
};

Sums sums(const Particle* particles, int n, const double* force) {
    Sums s;
    for (int p = 0; p < n; ++p) {
        const Particle& a = particles[p];
        if (!movable(a)) continue;
        double f2 = 0;
        for (int c : kAxes) {
            const double f = force[3 * p + c];
            s.power += f * a.vel[c];
            f2 += f * f;
        }
        s.force2 += f2;
        s.largestForce = std::max(s.largestForce, std::sqrt(f2));
    }
    return s;
}

void stop(Particle* particles, int n) {
    for (int p = 0; p < n; ++p)
        std::fill(std::begin(particles[p].vel), std::end(particles[p].vel), 0.0);
}

// Langevin dynamics from thermal velocities at `start` while the gas cools linearly to 0; the
// records that must stay put are put back after every step (immovable ones still drift by
// rounding-sized kicks).
void anneal(Particle* particles, int n, const ForceModel& model, LangevinModel gas, double start,
            int steps, Random& random, std::vector<double>& force, KernelWorkspace& ws) {
    const std::vector<Particle> fixed(particles, particles + n);
    for (int p = 0; p < n; ++p) {
        Particle& a = particles[p];
        const double sigma = movable(a) ? std::sqrt(start / a.m) : 0.0;
        for (double& v : a.vel) v = sigma != 0.0 ? sigma * random.gaussian() : 0.0;
    }
    for (int k = 0; k < steps; ++k) {
        gas.temperature = start * (1.0 - static_cast<double>(k + 1) / steps);
        forcePass(particles, n, model, force.data(), false, ws);
        integrateLangevin(particles, n, force.data(), gas, random);
        for (int p = 0; p < n; ++p)
            if (!movable(particles[p])) particles[p] = fixed[p];
    }
}

}  // namespace

double forcesAndEnergy(const Particle* particles, int n, const ForceModel& model, double* force,
                       KernelWorkspace& ws) {
    n = std::max(n, 0);
    const EnergySums s = forcePass(particles, n, model, force, true, ws);
    // The passes count every pair twice.
    double energy = model.pairForces ? 0.5 * s.pairEnergy : 0.0;
    if (model.apparatusField)
        for (int p = 0; p < n; ++p)
            if (particles[p].m != 0.0) energy += apparatusEnergy(particles[p], model);
    return energy;
}

double potentialEnergy(const Particle* particles, int n, const ForceModel& model,
                       KernelWorkspace& ws) {
    std::vector<double> force(3 * static_cast<std::size_t>(std::max(n, 0)));
    return forcesAndEnergy(particles, n, model, force.data(), ws);
}

double evenSpacing(int grains, double radius) {
    return radius * std::cbrt(4.0 * std::numbers::pi / (3.0 * grains));
}

double neighbourForce(double charge, double spacing, const ForceModel& model) {
    return charge * charge / (3.0 * model.debyeSphereCount * spacing * spacing);
}

double defaultForceTolerance(double charge, double spacing, const ForceModel& model) {
    return 1e-6 * neighbourForce(charge, spacing, model);
}

MinimiseResult minimiseFire(Particle* particles, int n, const ForceModel& model,
                            const MinimiseOptions& options, KernelWorkspace& ws) {
    n = std::max(n, 0);
    MinimiseResult result;
    std::vector<double> force(3 * static_cast<std::size_t>(n));
    stop(particles, n);
    result.energyBefore = forcesAndEnergy(particles, n, model, force.data(), ws);
    const double tolerance = toleranceFor(particles, n, model, options);
    double dt = options.initialStep > 0.0 ? options.initialStep : model.timeStep;
    const double maxStep = options.maxStep > 0.0 ? options.maxStep : 10.0 * dt;
    double alpha = options.mixingStart;
    int downhill = 0;
    for (;;) {
        Sums s = sums(particles, n, force.data());
        result.largestForce = s.largestForce;
        if (s.largestForce <= tolerance) {
            result.converged = true;
            break;
        }
        // A force that is no number will not get smaller.
        if (result.iterations >= options.maxIterations || !std::isfinite(s.largestForce)) break;
        ++result.iterations;
        if (s.power < 0.0) {
            // Uphill: take back half the last step, stop, and go on with a shorter one.
            for (int p = 0; p < n; ++p) {
                Particle& a = particles[p];
                if (!movable(a)) continue;
                for (int c : kAxes) a.pos[c] -= 0.5 * dt * a.vel[c];
            }
            stop(particles, n);
            dt *= options.stepDecrease;
            alpha = options.mixingStart;
            downhill = 0;
        } else {
            if (++downhill > options.minDownhillSteps) {
                dt = std::min(dt * options.stepIncrease, maxStep);
                alpha *= options.mixingDecrease;
            }
            // Semi-implicit Euler, the velocity turned towards the force before the drift.
            double speed2 = 0;
            for (int p = 0; p < n; ++p) {
                Particle& a = particles[p];
                if (!movable(a)) continue;
                for (int c : kAxes) {
                    a.vel[c] += force[3 * p + c] / a.m * dt;
                    speed2 += a.vel[c] * a.vel[c];
                }
            }
            const double turn = s.force2 > 0.0 ? alpha * std::sqrt(speed2 / s.force2) : 0.0;
            const double keep = s.force2 > 0.0 ? 1.0 - alpha : 1.0;
            for (int p = 0; p < n; ++p) {
                Particle& a = particles[p];
                if (!movable(a)) continue;
                for (int c : kAxes) {
                    a.vel[c] = keep * a.vel[c] + turn * force[3 * p + c];
                    a.pos[c] += dt * a.vel[c];
                }
            }
        }
        forcePass(particles, n, model, force.data(), false, ws);
    }
    stop(particles, n);
    result.energyAfter = forcesAndEnergy(particles, n, model, force.data(), ws);
    return result;
}

GroundStateResult searchGroundState(Particle* particles, int n, const ForceModel& model,
                                    const GroundStateOptions& options, KernelWorkspace& ws) {
    n = std::max(n, 0);
    GroundStateResult result;
    const MovableRecords records = movableRecords(particles, n, model);
    double start = options.startTemperature;
    if (!(start > 0.0)) {
        const double a = evenSpacing(records.count, model.apparatusRadius);
        start = neighbourForce(records.meanCharge, a, model) * a / 20.0;
        if (!std::isfinite(start)) start = 0.0;
    }
    LangevinModel gas;
    gas.timeStep = model.timeStep;
    gas.friction =
        options.friction > 0.0 ? options.friction : 3.0 * std::sqrt(records.plasmaFrequency2);
    // Without a field to set the frequency the gas still has to take the heat out.
    if (!(gas.friction > 0.0 && std::isfinite(gas.friction)) && model.timeStep > 0.0)
        gas.friction = 0.1 / model.timeStep;

    const std::vector<Particle> initial(particles, particles + n);
    std::vector<Particle> trial, best;
    std::vector<double> force(3 * static_cast<std::size_t>(n));
    for (int t = 0; t < options.tries; ++t) {
        trial = initial;
        Random random(options.seed + t);
        anneal(trial.data(), n, model, gas, start, options.annealSteps, random, force, ws);
        const MinimiseResult m = minimiseFire(trial.data(), n, model, options.minimise, ws);
        result.tries.push_back(m);
        if (result.bestTry < 0 || m.energyAfter < result.energy) {
            result.bestTry = t;
            result.energy = m.energyAfter;
            best = trial;
        }
    }
    if (result.bestTry >= 0) {
        std::copy(best.begin(), best.end(), particles);
    } else {
        result.energy = potentialEnergy(particles, n, model, ws);
    }
    return result;
}

}  // namespace qv

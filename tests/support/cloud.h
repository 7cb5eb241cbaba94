#pragma once
// A cloud as a default render makes it (charge -1e4, coupling 500, 300 K, the fixed 2 eV plasma):
// grains spread evenly through their sphere with thermal velocities. Built here from the plasma
// formulas so that the physics tests and the step benchmark need no set-up dialogue.
#include <cmath>
#include <random>
#include <vector>

#include "sim/constants.h"
#include "sim/kernels.h"
#include "sim/particle.h"
#include "sim/simulation.h"

namespace qv::test {

struct RandomCloud {
    std::vector<Particle> particles;
    ForceModel model;    // pair forces and apparatus field on, nothing sampled, no thermostat
    double spacing = 0;  // the interparticle distance a
};

inline RandomCloud makeRandomCloud(int n, unsigned seed) {
    const double plasmaTemperature = -2.0 * electronCharge / boltzmannConstant;
    const double plasmaDensity = 1e15;
    const double dustTemperature = 300;
    const double coupling = 500;
    const double charge = -1e4;
    const double e2 = electronCharge * electronCharge;

    const double debye = std::sqrt(vacuumPermittivity * boltzmannConstant * plasmaTemperature /
                                   (e2 * plasmaDensity));
    const double nd = debye * debye * debye * (4.0 / 3.0 * pi) * plasmaDensity;
    const double ratio = dustTemperature / plasmaTemperature;
    const double spacing = charge * charge / (3.0 * coupling * ratio * nd);
    const double mass = grainMaterialDensity * 4.0 / 3.0 * pi * 1e-18 / electronMass;
    const double bigR = std::cbrt(3.0 * n / (4.0 * pi)) * spacing;
    const double plasmaFrequency =
        std::sqrt(plasmaDensity * e2 / (vacuumPermittivity * electronMass));
    const double thermalSpeed = std::sqrt(boltzmannConstant * plasmaTemperature / electronMass);
    const double sigma =
        std::sqrt(boltzmannConstant * dustTemperature / (mass * electronMass)) / thermalSpeed;

    RandomCloud cloud;
    cloud.spacing = spacing;
    cloud.model.debyeSphereCount = nd;
    cloud.model.apparatusRadius = bigR;
    cloud.model.totalCharge = n * charge;
    cloud.model.timeStep =
        plasmaFrequency * 100000 * std::log(coupling) / (coupling * coupling * dustTemperature);
    cloud.model.pairForces = true;
    cloud.model.apparatusField = true;

    std::mt19937_64 generator(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::normal_distribution<double> thermal(0.0, sigma);
    cloud.particles.resize(n);
    for (Particle& p : cloud.particles) {
        do {
            for (double& x : p.pos) x = uniform(generator) * bigR;
        } while (p.distanceFromCentre() >= bigR);
        for (double& v : p.vel) v = thermal(generator);
        p.m = mass;
        p.q = charge;
        p.rad = 1e-6 / debye;
    }
    return cloud;
}

// The same cloud as a run: n live grains, no dead particles in reserve, frame 2 (no sampling
// unless a test asks for it), thermostat off.
inline Simulation makeCloudSimulation(int n, unsigned seed) {
    const RandomCloud cloud = makeRandomCloud(n, seed);
    Simulation sim;
    sim.numParticles = n;
    sim.reserve.numDeadParticles = 0;
    sim.model.debyeSphereCount = cloud.model.debyeSphereCount;
    sim.model.apparatusRadius = cloud.model.apparatusRadius;
    sim.model.totalCharge = cloud.model.totalCharge;
    sim.model.timeStep = cloud.model.timeStep;
    sim.model.interparticleDistance = cloud.spacing;
    sim.clock.currentFrame = 2;
    sim.arrays.particleArray = cloud.particles;
    sim.arrays.forceArray.assign(3 * static_cast<std::size_t>(n), 0.0);
    return sim;
}

}  // namespace qv::test

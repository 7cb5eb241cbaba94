#include "setup/configuration.h"

#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>

#include "console/console.h"
#include "console/output_file.h"
#include "setup/config.h"
#include "sim/constants.h"
#include "sim/dead_particles.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// Grains per mass group (there are two groups or more): the groups are consecutive equal blocks
// of slot indices. The dialogue never allows more groups than grains; should that still happen,
// every grain forms its own block rather than dividing by zero.
int massGroupSize(const Simulation& sim) {
    return std::max(sim.liveCount() / sim.model.numMassGroups, 1);
}

// Drawing colour of a mass group: the first three groups are told apart on screen.
void setGroupColour(Particle& p, int group) {
    if (group == 1) {
        p.setColour(0, 0, 1);
    } else if (group == 2) {
        p.setColour(0, 1, 0);
    } else {
        p.setColour(0, 0, 0);
    }
}

// A uniformly random point inside the apparatus sphere. The cosine of the polar angle is uniform
// and the radius is drawn with density proportional to r^2 by rejection, in this exact order
// of draws so that a seed always gives the same cloud.
void placeAtRandom(const Simulation& sim, Particle& p, gsl_rng* rng, std::ostream& rdistribution) {
    const double theta = std::acos(2.0 * gsl_rng_uniform(rng) - 1.0);
    const double phi = 2.0 * gsl_rng_uniform(rng) * pi - pi;
    double u3 = 0;
    double u4 = 0;
    do {
        u3 = gsl_rng_uniform(rng);
        u4 = gsl_rng_uniform(rng);
    } while (!(u3 * u3 > u4));
    const double r = u3 * sim.model.apparatusRadius;
    rdistribution << r << '\n';
    p.setPosition(0, r * std::sin(theta) * std::cos(phi));
    p.setPosition(1, r * std::sin(theta) * std::sin(phi));
    p.setPosition(2, r * std::cos(theta));
}

// Maxwellian velocity at the dust temperature: each component normal with the thermal spread
// of a grain of this mass, in units of the electron thermal speed.
void giveThermalVelocity(const Simulation& sim, Particle& p, gsl_rng* rng) {
    const double sigma =
        std::sqrt(boltzmannConstant * sim.model.dustTemperature / (p.mass() * electronMass));
    for (int j : kAxes) {
        p.setVelocity(j, gsl_ran_gaussian(rng, sigma) / sim.model.electronThermalSpeed);
    }
}

// Dead particles wait above the apparatus, at rest and without mass or charge, until fired.
void parkDeadParticles(Simulation& sim) {
    const int slots = static_cast<int>(sim.arrays.particleArray.size());
    const int parked = std::min(sim.reserve.numDeadParticles, slots);
    for (int k = 0; k < parked; ++k) {
        parkAsDead(sim, sim.arrays.particleArray[slots - 1 - k]);
    }
}

}  // namespace

void allocateParticles(Simulation& sim, int count) {
    sim.arrays.particleArray.assign(static_cast<std::size_t>(std::max(count, 0)), Particle{});
    sim.arrays.particleCursor = 0;
}

bool cursorAtEnd(const Simulation& sim) {
    return sim.arrays.particleCursor == sim.arrays.particleArray.size();
}

void setUpMassDistribution(Simulation& sim, const Config* config) {
    const char* refusal = "A mass fraction must be above 0.";
    const auto positive = [](double v) { return v > 0; };
    do {
        sim.model.maxMassFraction =
            answer<double>(config, "max_mass_fraction",
                           "Please enter maximum mass as a fraction of am average mass particle\n",
                           positive, refusal);
        sim.model.minMassFraction = answer<double>(
            config, "min_mass_fraction", "Please enter minimum mass\n", positive, refusal);
        if (config && sim.model.maxMassFraction < sim.model.minMassFraction)
            config->reject("max_mass_fraction", "it must not be below min_mass_fraction");
    } while (sim.model.maxMassFraction < sim.model.minMassFraction);

    // Equal groups need a live count that the number of groups divides.
    while (sim.numParticles % sim.model.numMassGroups != 0) ++sim.numParticles;
    console::out() << "Updated Particle Number is: " << sim.numParticles << '\n'
                   << '\n'
                   << std::flush;

    sim.model.grainMass =
        (sim.model.maxMassFraction + sim.model.minMassFraction) / 2.0 * sim.model.grainMass;
    sim.model.grainRadius =
        std::cbrt(3.0 * sim.model.grainMass / (4.0 * grainMaterialDensity * pi));  // metres
}

void assignMassGroup(Simulation& sim, double massStep, int slot) {
    if (slot >= sim.liveCount()) return;  // dead slots keep the last group's values
    const int group = slot / massGroupSize(sim);
    sim.model.groupMass = group * massStep + sim.model.grainMass;
    // Same material for every grain: the radius follows from the mass.
    sim.model.grainRadius =
        std::cbrt(sim.model.groupMass * electronMass * 3.0 / (4.0 * grainMaterialDensity * pi)) /
        sim.model.debyeLength;
    sim.model.grainCharge = sim.model.chargePerRadius * sim.model.grainRadius;
}

void buildCrystalLattice(Simulation& sim) {
    const double bigR = sim.model.apparatusRadius;
    const double a = bigR / 20.0;
    const double sqrt3 = std::sqrt(3.0);
    const double layerSpacing = std::sqrt(8.0 / 3.0) * a;
    sim.model.grainRadius = a;
    const int live = std::min(sim.liveCount(), static_cast<int>(sim.arrays.particleArray.size()));
    for (int i = 0; i < live; ++i) {
        Particle& p = sim.arrays.particleArray[i];
        p.setRadius(a);
        for (int j : kAxes) p.setVelocity(j, 0);
        // Close-packed stacking: columns of 20 along z, 20 rows along y per block of 400,
        // blocks along x; odd columns and odd blocks are shifted into the hollows.
        const int e = i / 400;
        const int f = i / 20;
        const int c = i - 20 * f;
        double x = -bigR + sqrt3 * a * e;
        double y = -bigR + 2.0 * a * f - 2.0 * bigR * e;
        if (c % 2 != 0) {
            x += a;
            y += a / sqrt3;
        }
        if (e % 2 != 0) y += a;
        p.setPosition(0, x);
        p.setPosition(1, y);
        p.setPosition(2, -bigR + layerSpacing * c);
    }
    sim.model.apparatusRadius = bigR * std::sqrt(8.0 / 3.0) / 2.0;
}

void configureInitialParticles(Simulation& sim) {
    allocateParticles(sim, sim.numParticles);
    const std::size_t slots = sim.arrays.particleArray.size();
    sim.arrays.forceArray.assign(slots * 3, 0.0);
    if (sim.switches.speedDistributionOn) {
        // Block 0 takes the initial speeds, one more block per analysis frame.
        const int blocks = sim.clock.framesToCalculate / sim.clock.analysisFreq + 1;
        sim.arrays.speedTable.assign(slots * static_cast<std::size_t>(blocks), 0.0);
    }

    // GSL_RNG_TYPE may choose the generator; the seed is always the program's own.
    gsl_rng_env_setup();
    gsl_rng* rng = gsl_rng_alloc(gsl_rng_default);
    gsl_rng_set(rng, static_cast<unsigned long>(sim.run.randomSeed));

    OutputFile rdistribution = openForAppend(sim.run.baseName + "Rdistribution" + ".xls");

    double massStep = 0;
    if (sim.model.numMassGroups > 1) {
        massStep = (sim.model.maxMassFraction - sim.model.minMassFraction) /
                   (sim.model.numMassGroups - 1) * sim.model.groupMass;
    }

    // Dead slots go through the same draws as grains, so the random sequence does not depend
    // on how many of the slots are dead.
    for (int i = 0; !cursorAtEnd(sim); ++sim.arrays.particleCursor, ++i) {
        Particle& p = sim.arrays.particleArray[sim.arrays.particleCursor];
        p.reset();
        if (sim.model.numMassGroups > 1) {
            assignMassGroup(sim, massStep, i);
            setGroupColour(p, i / massGroupSize(sim));
        }
        p.setRadius(sim.model.grainRadius);
        p.setMass(sim.model.groupMass);
        placeAtRandom(sim, p, rng, rdistribution.stream());
        giveThermalVelocity(sim, p, rng);
        if (sim.switches.speedDistributionOn) sim.arrays.speedTable[i] = p.speed();
        p.setCharge(sim.model.grainCharge);
    }

    if (sim.run.runMode == RunMode::Crystal) buildCrystalLattice(sim);
    reportAverages(sim);
    parkDeadParticles(sim);

    rdistribution.close();
    gsl_rng_free(rng);
}

void reportAverages(Simulation& sim) {
    double radius = 0, mass = 0, charge = 0;
    int count = 0;
    for (const Particle& p : sim.arrays.particleArray) {
        if (p.isDeadParticle()) continue;
        radius += p.radius();
        mass += p.mass();
        charge += p.charge();
        ++count;
    }
    // With no grain at all the averages stay 0 rather than 0/0.
    if (count > 0) {
        radius /= count;
        mass /= count;
        charge /= count;
    }
    sim.model.grainRadius = radius;
    sim.model.grainMass = mass;
    sim.model.groupMass = mass;
    sim.model.grainCharge = charge;
    std::ostream& out = console::out();
    out << '\n' << "Calculated Averages for Radius/Mass/Charge: " << '\n';
    out << radius << " / " << mass << " / " << charge << '\n' << '\n' << std::flush;
}

}  // namespace qv

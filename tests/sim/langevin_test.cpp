// Grains in a neutral gas: the temperature they come to, how fast they forget their velocity,
// and the same kicks from the same seed.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sim/constants.h"
#include "sim/timestep.h"

namespace qv {
namespace {

constexpr int kGrains = 1000;
constexpr double kMass = 2.0;
constexpr double kStep = 0.1;
constexpr double kGammaStep = 0.05;   // gamma dt in the program's time unit
constexpr double kTemperature = 0.3;  // k T_n in units of k Te

// Free grains at rest in a gas: no field, no pair forces, no wall.
Simulation freeGrains(unsigned long seed) {
    Simulation sim;
    sim.model.timeStep = kStep;
    sim.switches.apparatusFieldOn = sim.switches.pairInteractionOn = sim.switches.wallOn = false;
    sim.clock.currentFrame = 2;
    sim.numParticles = kGrains;
    sim.reserve.numDeadParticles = 0;
    sim.arrays.particleArray.assign(kGrains, Particle{{}, {}, {}, kMass, -1, 0.01});
    sim.arrays.forceArray.assign(3 * kGrains, 0.0);
    // The gas is set in per second and kelvin, as a user sets it.
    sim.options.friction = kGammaStep / kStep * electronPlasmaFrequency(sim.model.plasmaDensity);
    sim.options.gasTemperature = kTemperature * sim.model.plasmaTemperature;
    sim.random.seed(seed);
    return sim;
}

TEST(Langevin, FreeGrainsComeToTheGasTemperatureAndForgetTheirVelocityAtTheFrictionRate) {
    Simulation sim = freeGrains(7);
    for (int s = 0; s < 200; ++s) timeStepOnce(sim);  // ten relaxation times
    // Velocities every 10 steps (gamma t = 0.5 apart).
    std::vector<std::vector<double>> snapshots;
    for (int s = 0; s < 3000; ++s) {
        if (s % 10 == 0) {
            std::vector<double>& v = snapshots.emplace_back();
            for (const Particle& p : sim.arrays.particleArray) v.insert(v.end(), p.vel, p.vel + 3);
        }
        timeStepOnce(sim);
    }
    const auto correlation = [&](int lag) {
        double sum = 0;
        for (std::size_t t = 0; t + lag < snapshots.size(); ++t)
            for (std::size_t i = 0; i < snapshots[t].size(); ++i)
                sum += snapshots[t][i] * snapshots[t + lag][i];
        return sum / static_cast<double>((snapshots.size() - lag) * kGrains);
    };
    const double meanSquare = correlation(0);
    EXPECT_NEAR(meanSquare / (3 * kTemperature / kMass), 1.0, 0.02);
    for (const int lag : {1, 2, 4, 6})
        EXPECT_NEAR(correlation(lag) / meanSquare, std::exp(-kGammaStep * 10 * lag), 0.01) << lag;
}

TEST(Langevin, TheSameSeedGivesTheSameRunAndACopyGoesOnAsTheOriginal) {
    Simulation a = freeGrains(3), b = freeGrains(3), other = freeGrains(4);
    for (int s = 0; s < 20; ++s) timeStepOnce(a), timeStepOnce(b), timeStepOnce(other);
    Simulation copy = a;
    for (int s = 0; s < 20; ++s) timeStepOnce(a), timeStepOnce(copy);
    for (int s = 0; s < 20; ++s) timeStepOnce(b);
    for (int i = 0; i < kGrains; ++i)
        for (int c : kAxes) {
            ASSERT_EQ(a.particles()[i].pos[c], b.particles()[i].pos[c]);
            ASSERT_EQ(a.particles()[i].vel[c], copy.particles()[i].vel[c]);
        }
    EXPECT_NE(a.particles()[0].vel[0], other.particles()[0].vel[0]);
}

// With a gas too thin to matter the split step moves grains in a field as the plain step does.
TEST(Langevin, AVanishingGasStepsAsThePlainStep) {
    Simulation plain = freeGrains(1);
    plain.switches.apparatusFieldOn = true;
    plain.model.apparatusRadius = 50;
    plain.model.totalCharge = -kGrains;
    plain.model.debyeSphereCount = 1;
    for (int i = 0; i < kGrains; ++i) {
        plain.particles()[i].rad = 0;  // no collisions to magnify rounding
        for (int c : kAxes) plain.particles()[i].pos[c] = 0.01 * ((i * 7 + c * 13) % 97) - 0.4;
    }
    plain.options.friction = 0;
    Simulation gas = plain;
    gas.options.friction = 1e-30;
    for (int s = 0; s < 5; ++s) timeStepOnce(plain), timeStepOnce(gas);
    for (int i = 0; i < kGrains; i += 37)
        for (int c : kAxes) {
            const Particle &a = plain.particles()[i], &b = gas.particles()[i];
            EXPECT_NEAR(b.pos[c], a.pos[c], 1e-12 * std::abs(a.pos[c]) + 1e-15) << i;
            EXPECT_NEAR(b.vel[c], a.vel[c], 1e-12 * std::abs(a.vel[c]) + 1e-15) << i;
        }
}

}  // namespace
}  // namespace qv

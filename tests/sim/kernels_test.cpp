#include "sim/kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "sim/constants.h"
#include "tests/sim/random_cloud.h"

namespace qv {
namespace {

Particle charged(double x, double y, double z, double charge, double mass = 1) {
    Particle p;
    p.pos[0] = x;
    p.pos[1] = y;
    p.pos[2] = z;
    p.q = charge;
    p.m = mass;
    return p;
}

void makeDead(Particle& p) {
    p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
}

// Runs a force pass of the chosen kind from a cleared accumulator.
struct ForceResult {
    std::vector<double> force;
    EnergySums sums;
};

ForceResult forces(const std::vector<Particle>& particles, const ForceModel& model, bool fast) {
    const int n = static_cast<int>(particles.size());
    ForceResult result{std::vector<double>(3 * n, 0.0), {}};
    KernelWorkspace workspace;
    result.sums = fast ? forcePassFast(particles.data(), n, model, result.force.data(), workspace)
                       : forcePassReference(particles.data(), n, model, result.force.data());
    return result;
}

class BothKernels : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Kernels, BothKernels, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Fast" : "Reference"; });

TEST_P(BothKernels, TwoUnitChargesAtUnitDistancePushApartWithAThird) {
    const std::vector<Particle> pair = {charged(0, 0, 0, -1), charged(1, 0, 0, -1)};
    ForceModel model;
    model.debyeSphereCount = 1;
    model.apparatusRadius = 10;
    model.pairForces = true;
    model.samplingFrame = true;
    const ForceResult r = forces(pair, model, GetParam());
    const double expected[6] = {-1.0 / 3, 0, 0, 1.0 / 3, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(r.force[i], expected[i], 1e-15);
    EXPECT_NEAR(r.sums.pairEnergy, 2.0 / 3, 1e-15);

    // With the pair force switched off a sampling frame still counts the energy.
    model.pairForces = false;
    const ForceResult off = forces(pair, model, GetParam());
    for (double f : off.force) EXPECT_EQ(f, 0.0);
    EXPECT_NEAR(off.sums.pairEnergy, 2.0 / 3, 1e-15);
}

TEST_P(BothKernels, ApparatusFieldIsLinearInsideAndFallsAsInverseSquareOutside) {
    const double bigR = 4, bigQ = -50, nd = 3, q = -2;
    ForceModel model;
    model.debyeSphereCount = nd;
    model.apparatusRadius = bigR;
    model.totalCharge = bigQ;
    model.apparatusField = true;
    auto radialForce = [&](double r) {
        // Along a skew direction, to see that the force is radial.
        const double d[3] = {2 / 7.0, -3 / 7.0, 6 / 7.0};
        const ForceResult f = forces({charged(r * d[0], r * d[1], r * d[2], q)}, model, GetParam());
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(f.force[c], f.force[0] / d[0] * d[c], 1e-14);
        return f.force[0] / d[0];
    };
    const double inside = radialForce(1.5);
    EXPECT_NEAR(inside, q * (-bigQ) * 1.5 / (3 * nd * bigR * bigR * bigR), 1e-15);
    EXPECT_LT(inside, 0);  // charges of the same sign as the cloud are pulled to the centre
    const double atWall = radialForce(bigR);
    EXPECT_NEAR(radialForce(bigR * (1 - 1e-12)), atWall, 1e-11 * std::abs(atWall));
    EXPECT_NEAR(radialForce(bigR * (1 + 1e-12)), atWall, 1e-11 * std::abs(atWall));
    EXPECT_NEAR(radialForce(2 * bigR), atWall / 4, 1e-15);
    // The very centre: no direction, no force.
    const ForceResult centre = forces({charged(0, 0, 0, q)}, model, GetParam());
    for (double f : centre.force) EXPECT_EQ(f, 0.0);
}

TEST_P(BothKernels, ForceIsMinusTheGradientOfTheEnergy) {
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<Particle> cloud;
    for (int i = 0; i < 12; ++i)
        cloud.push_back(
            charged(3 * u(random), 3 * u(random), 3 * u(random), -1.5 + 0.5 * u(random)));
    ForceModel model;
    model.debyeSphereCount = 2;
    model.apparatusRadius = 8;  // all inside, where the stated potential belongs to the field
    model.totalCharge = -20;
    model.pairForces = true;
    model.apparatusField = true;
    model.samplingFrame = true;
    auto potential = [&](const std::vector<Particle>& particles) {
        const EnergySums s = forces(particles, model, GetParam()).sums;
        return s.pairEnergy / 2 + s.apparatusEnergy;  // the pair sum counts each pair twice
    };
    const ForceResult f = forces(cloud, model, GetParam());
    const double h = 1e-5;
    for (int p = 0; p < 12; ++p) {
        for (int c = 0; c < 3; ++c) {
            std::vector<Particle> plus = cloud, minus = cloud;
            plus[p].pos[c] += h;
            minus[p].pos[c] -= h;
            const double gradient = (potential(plus) - potential(minus)) / (2 * h);
            EXPECT_NEAR(f.force[3 * p + c], -gradient, 1e-6 * std::max(std::abs(gradient), 1e-3))
                << "particle " << p << " component " << c;
        }
    }
}

TEST_P(BothKernels, SumsFollowTheFrameAndLeaveDeadParticlesOut) {
    std::vector<Particle> particles = {charged(1, 0, 0, -1, 2), charged(0, 2, 0, -1, 4),
                                       charged(0, 0, 3, -1, 8)};
    particles[0].vel[0] = 3;  // speed 3
    particles[1].vel[1] = 4;  // speed 4
    particles[2].vel[2] = 5;  // dead, speed 5
    makeDead(particles[2]);
    ForceModel model;
    model.debyeSphereCount = 1;
    model.apparatusRadius = 10;
    model.totalCharge = -3;
    const double u0 = -1 * (3 / (2 * 10.0)) * (1 - 0.01 / 3);
    const double u1 = -1 * (3 / (2 * 10.0)) * (1 - 0.04 / 3);

    model.samplingFrame = true;
    EnergySums s = forces(particles, model, GetParam()).sums;
    EXPECT_DOUBLE_EQ(s.speedSum, 7);
    EXPECT_DOUBLE_EQ(s.kineticEnergy, 0.5 * 2 * 9 + 0.5 * 4 * 16);
    EXPECT_DOUBLE_EQ(s.apparatusEnergy, u0 + u1);
    EXPECT_GT(s.pairEnergy, 0);  // pairs with the dead particle count

    model.samplingFrame = false;
    model.temperatureFrame = true;
    s = forces(particles, model, GetParam()).sums;
    EXPECT_DOUBLE_EQ(s.speedSum, 7);
    EXPECT_DOUBLE_EQ(s.kineticEnergy, 0.5 * 2 * 9 + 0.5 * 4 * 16);
    EXPECT_EQ(s.apparatusEnergy, 0);
    EXPECT_EQ(s.pairEnergy, 0);

    model.temperatureFrame = false;
    s = forces(particles, model, GetParam()).sums;
    EXPECT_EQ(s.speedSum, 0);
    EXPECT_EQ(s.kineticEnergy, 0);
}

TEST_P(BothKernels, ThermostatChangesGrainVelocitiesByOnePercentOfTheError) {
    std::vector<Particle> particles = {charged(1, 0, 0, -1, 3), charged(0, 5, 0, -1, 7)};
    particles[0].vel[0] = 0.2;
    particles[0].vel[2] = -0.6;
    particles[1].vel[1] = 0.4;
    makeDead(particles[1]);
    ForceModel model;
    model.debyeSphereCount = 1;
    model.apparatusRadius = 10;
    model.timeStep = 0.25;
    model.thermostat = true;
    model.thermostatError = 0.5;
    for (const bool heats : {true, false}) {
        model.thermostatHeats = heats;
        std::vector<Particle> moved = particles;
        const ForceResult f = forces(moved, model, GetParam());
        integrate(moved.data(), 2, f.force.data(), model.timeStep);
        const double factor = heats ? 1.005 : 0.995;
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(moved[0].vel[c], particles[0].vel[c] * factor, 1e-15);
            EXPECT_EQ(moved[1].vel[c], particles[1].vel[c]);  // dead particles are not steered
        }
    }
    // A zero step has no per-step force: nothing happens, nothing becomes infinite.
    model.timeStep = 0;
    const ForceResult f = forces(particles, model, GetParam());
    for (double v : f.force) EXPECT_EQ(v, 0.0);
}

TEST_P(BothKernels, GrainsInTheSamePlaceGiveFiniteForcesAndEnergies) {
    std::vector<Particle> particles = {charged(1, 1, 1, -1), charged(1, 1, 1, -1),
                                       charged(2, 1, 1, -1)};
    ForceModel model;
    model.debyeSphereCount = 1;
    model.apparatusRadius = 10;
    model.totalCharge = -3;
    model.pairForces = true;
    model.apparatusField = true;
    model.samplingFrame = true;
    const ForceResult f = forces(particles, model, GetParam());
    for (double v : f.force) EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(f.sums.pairEnergy));
    // The coincident pair adds nothing; each of them feels the third grain.
    EXPECT_NEAR(f.sums.pairEnergy, 4.0 / 3, 1e-15);
}

TEST(Integrate, VelocityFirstThenPositionWithTheNewVelocity) {
    std::vector<Particle> particles = {charged(1, 2, 3, -1, 4), charged(0, 0, 0, -1, 0)};
    particles[1].vel[0] = 0.5;  // no mass: drifts, takes no acceleration
    const std::vector<double> force = {2, -4, 8, 100, 100, 100};
    const double dt = 0.1;
    integrate(particles.data(), 2, force.data(), dt);
    // At rest with force F, the first step moves F/m dt^2.
    EXPECT_NEAR(particles[0].pos[0], 1 + 2.0 / 4 * dt * dt, 1e-15);
    EXPECT_NEAR(particles[0].pos[1], 2 - 4.0 / 4 * dt * dt, 1e-15);
    EXPECT_NEAR(particles[0].pos[2], 3 + 8.0 / 4 * dt * dt, 1e-15);
    EXPECT_EQ(particles[1].vel[0], 0.5);
    EXPECT_EQ(particles[1].pos[0], 0.05);
}

TEST(Integrate, WithEveryForceOffGrainsMoveInStraightLines) {
    test::RandomCloud cloud = test::makeRandomCloud(40, 5);
    cloud.model.pairForces = false;
    cloud.model.apparatusField = false;
    const std::vector<Particle> start = cloud.particles;
    std::vector<double> force(3 * 40);
    KernelWorkspace workspace;
    const int steps = 50;
    for (int s = 0; s < steps; ++s) {
        std::fill(force.begin(), force.end(), 0.0);
        forcePassFast(cloud.particles.data(), 40, cloud.model, force.data(), workspace);
        integrate(cloud.particles.data(), 40, force.data(), cloud.model.timeStep);
    }
    for (int p = 0; p < 40; ++p) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(cloud.particles[p].vel[c], start[p].vel[c]);
            const double expected =
                start[p].pos[c] + steps * cloud.model.timeStep * start[p].vel[c];
            EXPECT_NEAR(cloud.particles[p].pos[c], expected, 1e-12 * cloud.model.apparatusRadius);
        }
    }
}

TEST(Integrate, OneGrainInTheApparatusOscillatesAtTheAnalyticFrequency) {
    const double bigR = 50, bigQ = -2e5, nd = 1.5e5, q = -1e4, m = 1e16;
    ForceModel model;
    model.debyeSphereCount = nd;
    model.apparatusRadius = bigR;
    model.totalCharge = bigQ;
    model.apparatusField = true;
    const double omega = std::sqrt(q * bigQ / (3 * nd * bigR * bigR * bigR * m));
    const double period = 2 * pi / omega;
    const double dt = period / 2000;
    model.timeStep = dt;

    std::vector<Particle> grain = {charged(bigR / 2, 0, 0, q, m)};
    grain[0].vel[1] = 0.1 * bigR * omega;  // an ellipse, both axes at the same frequency
    std::vector<double> force(3);
    KernelWorkspace workspace;
    std::vector<double> crossings;  // x passing 0 downwards, interpolated
    double previousX = grain[0].pos[0];
    for (int s = 1; s <= 7000; ++s) {
        force.assign(3, 0.0);
        forcePassFast(grain.data(), 1, model, force.data(), workspace);
        integrate(grain.data(), 1, force.data(), dt);
        const double x = grain[0].pos[0];
        if (previousX > 0 && x <= 0)
            crossings.push_back((s - 1 + previousX / (previousX - x)) * dt);
        previousX = x;
    }
    ASSERT_GE(crossings.size(), 3u);
    const double measured = (crossings.back() - crossings.front()) / (crossings.size() - 1);
    EXPECT_NEAR(measured, period, 1e-4 * period);
}

// The random placement is far from equilibrium: left alone it heats the cloud until grains
// evaporate through the surface, where the field stops being the one of the stated potential.
// Letting it settle first, with a drag, gives a cloud near its ordered state.
void settle(test::RandomCloud& cloud, int steps, KernelWorkspace& workspace) {
    const int n = static_cast<int>(cloud.particles.size());
    std::vector<double> force(3 * n);
    for (int s = 0; s < steps; ++s) {
        std::fill(force.begin(), force.end(), 0.0);
        forcePassFast(cloud.particles.data(), n, cloud.model, force.data(), workspace);
        integrate(cloud.particles.data(), n, force.data(), cloud.model.timeStep);
        for (Particle& p : cloud.particles)
            for (double& v : p.vel) v *= 0.9;
    }
}

TEST(Integrate, TotalEnergyStaysBoundedOverTenThousandSteps) {
    const int n = 250;
    test::RandomCloud cloud = test::makeRandomCloud(n, 17);
    const std::vector<Particle> thermal = cloud.particles;
    KernelWorkspace workspace;
    workspace.threads = 1;  // the physics is the point here; threads are tested on their own
    settle(cloud, 1500, workspace);
    // Thermal velocities again (300 K), on the settled positions.
    for (int p = 0; p < n; ++p)
        for (int c = 0; c < 3; ++c) cloud.particles[p].vel[c] = thermal[p].vel[c];

    ForceModel& model = cloud.model;  // thermostat and wall off
    std::vector<double> force(3 * n);
    double initial = 0, worst = 0, kinetic = 0;
    for (int s = 0; s <= 10000; ++s) {
        model.samplingFrame = s % 100 == 0;
        std::fill(force.begin(), force.end(), 0.0);
        overlapPassFast(cloud.particles.data(), n, workspace);
        const EnergySums e =
            forcePassFast(cloud.particles.data(), n, model, force.data(), workspace);
        if (model.samplingFrame) {
            const double total = e.kineticEnergy + e.pairEnergy / 2 + e.apparatusEnergy;
            if (s == 0) initial = total;
            worst = std::max(worst, std::abs(total - initial));
            kinetic = e.kineticEnergy;
        }
        integrate(cloud.particles.data(), n, force.data(), model.timeStep);
    }
    EXPECT_LE(worst, 1e-3 * std::abs(initial));
    // The grains did move: potential and kinetic energy were exchanged.
    EXPECT_GT(kinetic, 1e-4 * std::abs(initial));
    for (const Particle& p : cloud.particles)
        EXPECT_LT(p.distanceFromCentre(), model.apparatusRadius);
}

// A dense box of grains of mixed size, mass and charge, with many overlaps, a few dead particles
// and two grains in the same place.
std::vector<Particle> crowdedGrains(int n, unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<Particle> grains(n);
    for (int i = 0; i < n; ++i) {
        Particle& p = grains[i];
        for (int c = 0; c < 3; ++c) {
            p.pos[c] = 20 * u(random);
            p.vel[c] = u(random);
        }
        p.m = 2 + u(random);
        p.q = -1 + 0.3 * u(random);
        p.rad = 1.2 + 0.5 * u(random);
        if (i % 97 == 5) makeDead(p);
    }
    grains[11] = grains[10];
    return grains;
}

class FastKernels : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Threads, FastKernels, ::testing::Values(1, 2, 3),
                         [](const auto& info) { return std::to_string(info.param); });

TEST_P(FastKernels, MatchTheReferenceOnCrowdedGrains) {
    const int n = 500;
    std::vector<Particle> reference = crowdedGrains(n, 23);
    std::vector<Particle> fast = reference;
    KernelWorkspace workspace;
    workspace.threads = GetParam();

    std::vector<ParticlePair> referencePairs, fastPairs;
    overlapPassReference(reference.data(), n, &referencePairs);
    overlapPassFast(fast.data(), n, workspace, &fastPairs);
    EXPECT_GT(referencePairs.size(), 80u);
    EXPECT_EQ(fastPairs, referencePairs);
    // The same collisions in the same order give the very same velocities.
    EXPECT_EQ(std::memcmp(fast.data(), reference.data(), n * sizeof(Particle)), 0);

    ForceModel model;
    model.debyeSphereCount = 2;
    model.apparatusRadius = 30;
    model.totalCharge = -400;
    model.timeStep = 0.01;
    model.pairForces = true;
    model.apparatusField = true;
    model.thermostat = true;
    model.thermostatError = 0.3;
    model.samplingFrame = true;
    std::vector<double> referenceForce(3 * n, 0.0), fastForce(3 * n, 0.0);
    const EnergySums r = forcePassReference(reference.data(), n, model, referenceForce.data());
    const EnergySums f = forcePassFast(fast.data(), n, model, fastForce.data(), workspace);
    for (int i = 0; i < 3 * n; ++i)
        EXPECT_NEAR(fastForce[i], referenceForce[i], 1e-12 * std::abs(referenceForce[i])) << i;
    EXPECT_NEAR(f.pairEnergy, r.pairEnergy, 1e-12 * r.pairEnergy);
    EXPECT_NEAR(f.apparatusEnergy, r.apparatusEnergy, 1e-12 * std::abs(r.apparatusEnergy));
    EXPECT_NEAR(f.kineticEnergy, r.kineticEnergy, 1e-12 * r.kineticEnergy);
    EXPECT_NEAR(f.speedSum, r.speedSum, 1e-12 * r.speedSum);

    // A second run from the same start gives bit for bit the same result.
    std::vector<Particle> again = crowdedGrains(n, 23);
    std::vector<ParticlePair> againPairs;
    overlapPassFast(again.data(), n, workspace, &againPairs);
    std::vector<double> againForce(3 * n, 0.0);
    const EnergySums a = forcePassFast(again.data(), n, model, againForce.data(), workspace);
    EXPECT_EQ(againPairs, fastPairs);
    EXPECT_EQ(std::memcmp(againForce.data(), fastForce.data(), 3 * n * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(&a, &f, sizeof(EnergySums)), 0);
}

TEST_P(FastKernels, TouchingPairsAreFoundExactlyAsTheReferenceFindsThem) {
    // Pairs a rounding error either side of touching: the fast test must agree pair by pair.
    std::vector<Particle> grains;
    for (int i = 0; i < 200; ++i) {
        Particle p = charged(3.0 * i, 0, 0, -1);
        p.rad = 1.5 * (1 + ((i % 3) - 1) * 1e-16);
        grains.push_back(p);
    }
    std::vector<Particle> fast = grains;
    KernelWorkspace workspace;
    workspace.threads = GetParam();
    std::vector<ParticlePair> referencePairs, fastPairs;
    overlapPassReference(grains.data(), 200, &referencePairs);
    overlapPassFast(fast.data(), 200, workspace, &fastPairs);
    EXPECT_EQ(fastPairs, referencePairs);
}

}  // namespace
}  // namespace qv

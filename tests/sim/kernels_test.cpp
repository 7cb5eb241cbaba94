#include "sim/kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "sim/constants.h"

namespace qv {
namespace {

Particle charged(double x, double y, double z, double charge) {
    return Particle{{x, y, z}, {}, {}, 1, charge, 0};
}
ForceModel makeModel(double nd, double bigR, double bigQ, bool pairs, bool field) {
    ForceModel m;
    m.debyeSphereCount = nd, m.apparatusRadius = bigR, m.totalCharge = bigQ;
    m.pairForces = pairs;
    m.apparatusField = field;
    m.samplingFrame = true;
    return m;
}
// Forces of a pass of the chosen kind from a cleared accumulator, and its sums.
std::pair<std::vector<double>, EnergySums> forces(const std::vector<Particle>& ps,
                                                  const ForceModel& model, bool fast) {
    const int n = static_cast<int>(ps.size());
    std::vector<double> force(3 * n, 0.0);
    KernelWorkspace workspace;
    const EnergySums sums = fast ? forcePassFast(ps.data(), n, model, force.data(), workspace)
                                 : forcePassReference(ps.data(), n, model, force.data());
    return {force, sums};
}

class BothKernels : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Kernels, BothKernels, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Fast" : "Reference"; });

TEST_P(BothKernels, UnitChargesPushApartWithAThirdAndTheFieldIsLinearInsideInverseSquareOutside) {
    const std::vector<Particle> pair = {charged(0, 0, 0, -1), charged(1, 0, 0, -1)};
    for (bool on : {true, false}) {  // no field: the cloud charge adds nothing
        const auto [f, sums] = forces(pair, makeModel(1, 10, -5, on, false), GetParam());
        EXPECT_EQ(f, (std::vector<double>{-on / 3.0, 0, 0, on / 3.0, 0, 0}));
        EXPECT_NEAR(sums.pairEnergy, 2.0 / 3, 1e-15);  // a sampling frame counts it anyway
    }
    std::vector<Particle> moving = pair;
    moving[0].vel[0] = 3, moving[0].vel[1] = 4, moving[1].vel[2] = -1;
    const EnergySums sums = forces(moving, makeModel(1, 10, -5, true, false), GetParam()).second;
    EXPECT_TRUE(sums.speedSum == 6 && sums.kineticEnergy == 13) << sums.speedSum;
    const double bigR = 4, bigQ = -50, nd = 3, q = -2;
    const ForceModel model = makeModel(nd, bigR, bigQ, false, true);
    auto radialForce = [&](double r) {  // along a skew direction, to see that it is radial
        const double d[3] = {2 / 7.0, -3 / 7.0, 6 / 7.0};
        const auto f = forces({charged(r * d[0], r * d[1], r * d[2], q)}, model, GetParam()).first;
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(f[c], f[0] / d[0] * d[c], 1e-14);
        return f[0] / d[0];
    };
    EXPECT_NEAR(radialForce(1.5), q * (-bigQ) * 1.5 / (3 * nd * bigR * bigR * bigR), 1e-15);
    EXPECT_NEAR(forces({charged(0, 1.5, 0, q)}, model, GetParam()).second.apparatusEnergy,
                q * (-bigQ / (2 * bigR * nd)) * (1 - 1.5 * 1.5 / (3 * bigR * bigR)), 1e-15);
    const double atWall = radialForce(bigR);
    EXPECT_NEAR(radialForce(2 * bigR), atWall / 4, 1e-15);
    EXPECT_EQ(forces({charged(0, 0, 0, q)}, model, GetParam()).first, std::vector<double>(3, 0.0));
}

TEST_P(BothKernels, ForceIsMinusTheGradientOfTheEnergy) {
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<Particle> cloud;
    for (int i = 0; i < 12; ++i)
        cloud.push_back(
            charged(3 * u(random), 3 * u(random), 3 * u(random), -1.5 + 0.5 * u(random)));
    const ForceModel model = makeModel(2, 8, -20, true, true);  // all inside R
    auto potential = [&](const std::vector<Particle>& ps) {
        const EnergySums s = forces(ps, model, GetParam()).second;
        return s.pairEnergy / 2 + s.apparatusEnergy;  // the pair sum counts each pair twice
    };
    const std::vector<double> f = forces(cloud, model, GetParam()).first;
    const double h = 1e-5;
    for (int p = 0; p < 12; ++p)
        for (int c = 0; c < 3; ++c) {
            std::vector<Particle> plus = cloud, minus = cloud;
            plus[p].pos[c] += h;
            minus[p].pos[c] -= h;
            const double gradient = (potential(plus) - potential(minus)) / (2 * h);
            EXPECT_NEAR(f[3 * p + c], -gradient, 1e-6 * std::max(std::abs(gradient), 1e-3)) << p;
        }
}

// A dense box of mixed grains with many overlaps, a few dead particles and two grains in one
// place; then a row of pairs a rounding error either side of touching.
std::vector<Particle> crowdedGrains() {
    std::mt19937_64 random(23);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<Particle> grains(500);
    for (int i = 0; i < 500; ++i) {
        Particle& p = grains[i];
        for (int c = 0; c < 3; ++c) p.pos[c] = 20 * u(random), p.vel[c] = u(random);
        p.m = 2 + u(random), p.q = -1 + 0.3 * u(random), p.rad = 1.2 + 0.5 * u(random);
        if (i % 97 == 5) p.role = Role::FiredDead;
    }
    grains[11] = grains[10];
    const double up = std::nextafter(1.5, 2.0), radii[4] = {up, up, 1.5, std::nextafter(1.5, 1.0)};
    for (int i = 0; i < 200; ++i) grains.push_back({{3.0 * i, 100}, {}, {}, 1, -1, radii[i % 4]});
    return grains;
}

struct FastStep {
    std::vector<Particle> particles = crowdedGrains();
    std::vector<ParticlePair> pairs;
    std::vector<double> force = std::vector<double>(3 * 700, 0.0);
    EnergySums sums;
};
// The step's fast path: one sweep serves the collisions and then the force pass.
FastStep fastStep(const ForceModel& model, int threads) {
    KernelWorkspace workspace;
    workspace.threads = threads;
    FastStep r;
    sweepPairsFast(r.particles.data(), 700, pairSweepFor(model), workspace);
    collideSweptPairs(r.particles.data(), workspace, &r.pairs);
    r.sums = addSweptForces(r.particles.data(), 700, model, r.force.data(), workspace);
    return r;
}

TEST(FastKernels, MatchTheReferenceOnCrowdedGrainsWithTheSameBitsOnAnyThreadCount) {
    const int n = 700;
    ForceModel model = makeModel(2, 30, -400, true, true);
    model.timeStep = 0.01;
    model.thermostat = true;
    model.thermostatError = 0.3;
    std::vector<Particle> reference = crowdedGrains();
    std::vector<ParticlePair> referencePairs;
    // The sweep lists exactly the pairs within a sliver of touching, in the sequential order.
    KernelWorkspace ws;
    sweepPairsFast(reference.data(), n, pairSweepFor(model), ws);
    std::vector<ParticlePair> near;
    for (int p = 0; p < n; ++p) {
        for (int q = p + 1; q < n; ++q) {
            const double b = reference[p].rad + reference[q].rad,
                         d = reference[p].distanceTo(reference[q]);
            if (b * b * (1 + 1e-9) >= d * d) near.emplace_back(p, q);
        }
    }
    EXPECT_EQ(ws.candidates, near);
    overlapPassReference(reference.data(), n, &referencePairs);
    std::vector<double> referenceForce(3 * n, 0.0);
    const EnergySums r = forcePassReference(reference.data(), n, model, referenceForce.data());

    const FastStep f = fastStep(model, 1);
    EXPECT_GT(referencePairs.size(), 80u);
    EXPECT_EQ(std::count_if(referencePairs.begin(), referencePairs.end(),
                            [](const ParticlePair& pair) { return pair.first >= 500; }),
              50);
    EXPECT_EQ(f.pairs, referencePairs);
    EXPECT_EQ(std::memcmp(f.particles.data(), reference.data(), n * sizeof(Particle)), 0);
    for (int i = 0; i < 3 * n; ++i)
        EXPECT_NEAR(f.force[i], referenceForce[i], 1e-12 * std::abs(referenceForce[i])) << i;
    for (auto sum : {&EnergySums::pairEnergy, &EnergySums::apparatusEnergy,
                     &EnergySums::kineticEnergy, &EnergySums::speedSum})
        EXPECT_NEAR(f.sums.*sum, r.*sum, 1e-12 * std::abs(r.*sum));
    for (int threads : {2, 3, 64}) {  // more threads than blocks are fine too
        const FastStep again = fastStep(model, threads);
        EXPECT_EQ(again.pairs, f.pairs) << threads;
        EXPECT_EQ(std::memcmp(again.particles.data(), f.particles.data(), n * sizeof(Particle)), 0);
        EXPECT_EQ(std::memcmp(again.force.data(), f.force.data(), 3 * n * sizeof(double)), 0);
        EXPECT_EQ(std::memcmp(&again.sums, &f.sums, sizeof(EnergySums)), 0) << threads;
    }
}

}  // namespace
}  // namespace qv

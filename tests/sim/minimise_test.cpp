#include "sim/minimise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "tests/support/cloud.h"

namespace qv {
namespace {

TEST(Minimise, EndsAtRestBelowTheToleranceWhereThePairEnergyIsTwiceTheHarmonicPart) {
    // Tolerance relative to the neighbour force (0: the default), and the steps FIRE has been seen
    // to need with a little to spare.
    for (auto [n, tolerance, steps] :
         {std::tuple{40, 0.0, 700}, {40, 1e-11, 1300}, {13, 1e-11, 430}}) {
        test::RandomCloud c = test::makeRandomCloud(n, 7);
        const ForceModel& m = c.model;
        KernelWorkspace ws;
        MinimiseOptions o;
        const double scale = c.particles[0].q * c.particles[0].q / (3 * m.debyeSphereCount);
        o.forceTolerance = tolerance * scale / (c.spacing * c.spacing);
        const MinimiseResult r = minimiseFire(c.particles.data(), n, m, o, ws);
        const double limit =
            tolerance > 0 ? o.forceTolerance : 1e-6 * scale / (c.spacing * c.spacing);
        ASSERT_TRUE(r.converged && r.largestForce <= limit) << n;
        EXPECT_TRUE(r.iterations > 10 && r.iterations < steps && r.energyAfter < r.energyBefore);
        ForceModel sampled = m;
        sampled.samplingFrame = true;
        std::vector<double> f(3 * n, 0.0);
        const double pair =
            forcePassReference(c.particles.data(), n, sampled, f.data()).pairEnergy / 2;
        double harmonic = 0, bigR = m.apparatusRadius, q = c.particles[0].q;
        for (int p = 0; p < n; ++p) {
            const double rp = c.particles[p].distanceFromCentre();
            harmonic += q * m.totalCharge * rp * rp / (6 * m.debyeSphereCount * std::pow(bigR, 3));
            EXPECT_LE(std::hypot(f[3 * p], f[3 * p + 1], f[3 * p + 2]), limit) << p;
            EXPECT_TRUE(c.particles[p].speed() == 0 && rp < bigR);
        }
        const double constant = -n * q * m.totalCharge / (2 * bigR * m.debyeSphereCount);
        EXPECT_NEAR(r.energyAfter, pair + harmonic + constant, 1e-12 * std::abs(constant));
        EXPECT_NEAR(pair, 2 * harmonic, (tolerance > 0 ? 1e-8 : 1e-5) * pair) << n;
    }
}

TEST(Minimise, TwoGrainsSettleWhereTheirRepulsionBalancesTheField) {
    for (double screening : {kUnscreened, 0.5, 0.1}) {  // in units of the Coulomb separation R
        test::RandomCloud c = test::makeRandomCloud(2, 3);
        const double bigR = c.model.apparatusRadius, q = c.particles[0].q;
        const double nd = c.model.debyeSphereCount, lambda = screening * bigR;
        c.model.screeningLength = lambda;
        // q^2 e^(-d/lambda) (1 + d/lambda) / d^2 = q Q (d / 2) / R^3 with Q = 2q; Coulomb: d = R.
        const auto excess = [&](double d) {
            return std::exp(-d / lambda) * (1 + d / lambda) / (d * d) - d / std::pow(bigR, 3);
        };
        double low = 1e-3 * bigR, high = bigR;
        for (int i = 0; i < 100; ++i)
            (excess((low + high) / 2) > 0 ? low : high) = (low + high) / 2;
        KernelWorkspace ws;
        MinimiseOptions o;
        o.forceTolerance = 1e-12 * neighbourForce(q, bigR, c.model);
        const MinimiseResult r = minimiseFire(c.particles.data(), 2, c.model, o, ws);
        const double d = c.particles[0].distanceTo(c.particles[1]);
        EXPECT_TRUE(r.converged);
        EXPECT_NEAR(d, low, 1e-9 * bigR) << screening;
        const double field = -4 * q * q * (3 - d * d / (4 * bigR * bigR)) / (6 * nd * bigR);
        EXPECT_NEAR(r.energyAfter, q * q * std::exp(-d / lambda) / (3 * nd * d) + field,
                    1e-12 * std::abs(field));
    }
}

TEST(Minimise, DegenerateCloudsStayFiniteFixedRecordsStayPutAndFarGrainsSeeAPointCharge) {
    const Particle grain{{1, 2, 0}, {5, 0, 0}, {}, 1, -1, 0};
    Particle probe = grain, massless = grain;
    probe.m = 2e30, probe.pos[0] = -1, massless.m = 0, massless.pos[2] = 2;
    ForceModel m;
    m.debyeSphereCount = 2, m.apparatusRadius = 4, m.totalCharge = -3, m.timeStep = 0.1;
    m.pairForces = m.apparatusField = true;
    const std::vector<std::vector<Particle>> cases = {
        {}, {grain}, {grain, grain}, {Particle{}}, {grain, probe, massless}};
    for (const std::vector<Particle>& before : cases) {
        std::vector<Particle> ps = before;
        KernelWorkspace ws;
        const int n = static_cast<int>(ps.size());
        const MinimiseResult r = minimiseFire(ps.data(), n, m, MinimiseOptions{}, ws);
        EXPECT_TRUE(r.converged && std::isfinite(r.energyAfter)) << n;
        for (int p = 0; p < n; ++p) {
            const bool moves = ps[p].m > 0 && ps[p].m < 1e30;
            EXPECT_TRUE(moves || std::equal(ps[p].pos, ps[p].pos + 3, before[p].pos)) << p;
        }
    }
    // Outside R the field energy -q Q / (3 ND r); a record without mass adds its pair energy only.
    KernelWorkspace ws;
    const Particle pair[] = {{{0, 8, 0}, {}, {}, 1, -1, 0}, massless};
    EXPECT_NEAR(potentialEnergy(pair, 2, m, ws), -3 / (6 * 8.0) + 1 / (6 * std::hypot(1, 6, 2)),
                1e-15);
}

TEST(GroundState, ThirteenGrainsMakeOneInTheMiddleAndTwelveAroundItTheSameWithTheSameSeed) {
    test::RandomCloud c = test::makeRandomCloud(13, 11);
    GroundStateOptions o;
    o.tries = 3;
    o.seed = 40;
    o.minimise.forceTolerance = 1e-11 * neighbourForce(c.particles[0].q, c.spacing, c.model);
    std::vector<Particle> again = c.particles, second = c.particles;
    KernelWorkspace ws;
    const GroundStateResult r = searchGroundState(c.particles.data(), 13, c.model, o, ws);
    const GroundStateResult same = searchGroundState(again.data(), 13, c.model, o, ws);
    EXPECT_EQ(std::memcmp(c.particles.data(), again.data(), 13 * sizeof(Particle)), 0);
    ASSERT_EQ(r.tries.size(), 3u);
    EXPECT_NE(r.tries[0].energyBefore, r.tries[1].energyBefore);  // each try anneals its own way
    GroundStateOptions next = o;                                  // try t anneals from seed S + t
    next.tries = 1, next.seed = 41;
    EXPECT_EQ(searchGroundState(second.data(), 13, c.model, next, ws).tries.at(0).energyBefore,
              r.tries[1].energyBefore);
    double lowest = r.tries[0].energyAfter;
    for (const MinimiseResult& t : r.tries) lowest = std::min(lowest, t.energyAfter);
    EXPECT_TRUE(r.energy == lowest && r.tries[r.bestTry].energyAfter == lowest);
    EXPECT_EQ(r.energy, potentialEnergy(c.particles.data(), 13, c.model, ws));
    std::vector<double> radii;
    for (const Particle& p : c.particles) radii.push_back(p.distanceFromCentre());
    std::sort(radii.begin(), radii.end());
    EXPECT_LT(radii[0], 1e-6 * c.spacing);
    EXPECT_NEAR(radii[1], radii[12], 1e-6 * radii[12]);
    EXPECT_GT(radii[1], 0.5 * c.spacing);
    // A short single try: the defaults are coupling 20 and three dust plasma frequencies.
    o.tries = 1, o.annealSteps = 50, o.minimise.maxIterations = 20;
    const GroundStateResult short1 = searchGroundState(again.data(), 13, c.model, o, ws);
    EXPECT_EQ(short1.tries.at(0).energyAfter, potentialEnergy(again.data(), 13, c.model, ws));
    const double nd = c.model.debyeSphereCount, bigR = c.model.apparatusRadius, q = again[0].q;
    o.startTemperature = q * q / (3 * nd * c.spacing) / 20;
    o.friction = 3 * std::sqrt(q * c.model.totalCharge / (nd * bigR * bigR * bigR * again[0].m));
    const GroundStateResult short2 = searchGroundState(c.particles.data(), 13, c.model, o, ws);
    EXPECT_NEAR(short2.energy, short1.energy, 1e-13 * std::abs(short1.energy));
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "sim/fastexp.h"
#include "sim/kernels.h"

namespace qv {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// n grains of mixed charge and radius in a cube of the given side, centred on the origin.
std::vector<Particle> box(int n, double side, double radius, unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> u(-0.5, 0.5);
    std::vector<Particle> ps(n);
    for (Particle& p : ps) {
        for (int c = 0; c < 3; ++c) p.pos[c] = side * u(random), p.vel[c] = u(random);
        p.m = 1 + u(random), p.q = -1 + 0.5 * u(random), p.rad = radius * (1 + u(random));
    }
    return ps;
}
ForceModel screened(double lambda, double cutoff) {
    ForceModel m;
    m.debyeSphereCount = 2, m.screeningLength = lambda, m.cutoff = cutoff;
    m.pairForces = m.samplingFrame = true;
    return m;
}

struct Outcome {
    std::vector<Particle> particles;  // after the collisions
    std::vector<ParticlePair> collided;
    std::vector<double> force;
    EnergySums sums;
    int cells = 0;  // of the fast sweep's grid
};
// The step's pair work, by the fast sweep (threads > 0) or by the reference passes.
Outcome run(std::vector<Particle> ps, const ForceModel& model, int threads) {
    const int n = static_cast<int>(ps.size());
    Outcome o{ps, {}, std::vector<double>(3 * n, 0.0), {}};
    if (threads > 0) {
        KernelWorkspace ws;
        ws.threads = threads;
        sweepPairsFast(o.particles.data(), n, pairSweepFor(model), ws);
        collideSweptPairs(o.particles.data(), ws, &o.collided);
        o.sums = addSweptForces(o.particles.data(), n, model, o.force.data(), ws);
        o.cells = ws.sweptCells ? static_cast<int>(ws.cellStart.size()) - 1 : 0;
    } else {
        overlapPassReference(o.particles.data(), n, &o.collided);
        o.sums = forcePassReference(o.particles.data(), n, model, o.force.data());
    }
    return o;
}

TEST(ScreenedPairs, ReferenceForceIsMinusTheGradientAndHugeLambdaIsBareCoulomb) {
    const std::vector<Particle> cloud = box(15, 4, 0, 5);
    const ForceModel model = screened(0.8, 3.5);  // some pairs beyond the cutoff
    const auto energy = [&](const std::vector<Particle>& ps) { return run(ps, model, 0).sums; };
    const std::vector<double> f = run(cloud, model, 0).force;
    const double h = 1e-6;
    for (int p : {0, 7, 14})
        for (int c = 0; c < 3; ++c) {
            std::vector<Particle> plus = cloud, minus = cloud;
            plus[p].pos[c] += h, minus[p].pos[c] -= h;
            const double gradient =
                (energy(plus).pairEnergy - energy(minus).pairEnergy) / 2 / (2 * h);
            EXPECT_NEAR(f[3 * p + c], -gradient, 1e-6 * std::max(std::abs(gradient), 1e-2)) << p;
        }
    const Outcome bare = run(cloud, screened(kInf, kInf), 0);
    const Outcome wide = run(cloud, screened(1e12, kInf), 0);
    for (int i = 0; i < 45; ++i)
        EXPECT_NEAR(wide.force[i], bare.force[i], 1e-9 * std::abs(bare.force[i]));
    EXPECT_NEAR(wide.sums.pairEnergy, bare.sums.pairEnergy, 1e-9 * std::abs(bare.sums.pairEnergy));
}

Particle grain(double x, double y, double z, double charge) {
    return {{x, y, z}, {}, {}, 1, charge, 0};
}
std::vector<Particle> lattice(int side, double spacing) {
    std::vector<Particle> ps;
    for (int i = 0; i < side * side * side; ++i)
        ps.push_back(grain(spacing * (i % side), spacing * (i / side % side),
                           spacing * (i / side / side), -1.0 - 0.01 * (i % 7)));
    return ps;
}

TEST(CellSweep, FindsExactlyThePairsWithinTheCutoffAndCollidesInTheReferenceOrder) {
    const double nan = std::nan("");
    struct Case {
        std::vector<Particle> cloud;
        double lambda, cutoff;
        int cells;  // columns of the sweep, 0 for the sweep over all pairs
    };
    std::vector<Case> cases = {
        {{}, 0.5, 2, 0},
        {box(1, 1, 0.1, 1), 0.5, 2, 0},
        {box(300, 10, 0, 2), 0.5, screenedCutoff(0.5, 1.5, 1e-3), 16},
        {box(300, 4, 0.1, 8), 1, 3, 0},  // the cutoff spans the cloud: all pairs
        {box(2000, 13, 0, 3), 1, screenedCutoff(1, 1, 1e-2), 36},
        {box(2000, 13, 0, 4), 0.25, screenedCutoff(0.25, 1, 1e-6), 36},
        {box(400, 8, 0, 5), 1, kInf, 0},       // no cutoff: all pairs
        {box(700, 8, 0.5, 6), 0.3, 0.5, 100},  // contact beyond the cutoff, many overlaps
        {lattice(9, 1.1), 0.6, 1.1, 15 * 15},
        {lattice(9, 1.1), 0.6, 2.2 / (1 + 3e-6), 8 * 8},  // every grain on a border
        // 15 columns along 7.999996: pairs 0.99999995 apart across their borders, and a pair
        // whose d^2 is one step above 1 but whose d rounds to 1.
        {{grain(0, 0, 0, -1), grain(0, 7.999996, 0, -1), grain(0, 0.99999925, 0, -1),
          grain(0, 1.9999992, 0, -1), grain(0, 4, 0, -1), grain(std::ldexp(1.0, -26), 5, 0, -1)},
         0.5,
         1,
         15},
    };
    // A cloud stretched along y (the columns widen to stay within 2 placed + 27 of them), one
    // grain far out along x, and positions that are not numbers.
    std::vector<Particle> far = box(500, 10, 0.2, 7);
    for (Particle& p : far) p.pos[1] *= 30;
    far[17].pos[0] = 1e12, far[40].pos[1] = nan, far[41].pos[2] = -kInf;
    far[42] = far[43];  // in one place: overlapping, yet no force
    cases.push_back({far, 0.7, 3, 885});
    // Two grains overlapping by a sliver that the vector test must not round away.
    std::vector<Particle> sliver = box(300, 10, 0, 2);
    sliver[0] = {{1, 1, 1}, {1, 0, 0}, {}, 1, -1, 0.5};
    sliver[1] = {{2 - 1e-12, 1, 1}, {}, {}, 1, -1, 0.5};
    cases.push_back({sliver, 0.5, screenedCutoff(0.5, 1.5, 1e-3), 16});
    for (const Case& c : cases) {
        const ForceModel model = screened(c.lambda, c.cutoff);
        const int n = static_cast<int>(c.cloud.size());
        const Outcome r = run(c.cloud, model, 0);
        const Outcome f = run(c.cloud, model, 1);
        double scale = 0;
        for (double v : r.force) scale = std::max(scale, std::abs(v));
        for (int i = 0; i < 3 * n; ++i)
            ASSERT_NEAR(f.force[i], r.force[i], 1e-12 * scale) << n << " " << c.cutoff << " " << i;
        EXPECT_NEAR(f.sums.pairEnergy, r.sums.pairEnergy, 1e-12 * std::abs(r.sums.pairEnergy)) << n;
        EXPECT_EQ(f.collided, r.collided) << n;
        EXPECT_EQ(f.cells, c.cells) << n;
        EXPECT_TRUE(n == 0 ||  // no array to compare (and memcmp takes no null)
                    std::memcmp(f.particles.data(), r.particles.data(), n * sizeof(Particle)) == 0);
        // The sweep's own exp, against the library's over the arguments the case meets.
        for (double x = 0; x <= std::min(c.cutoff / c.lambda, 700.0); x += 0.0123)
            ASSERT_NEAR(expNonPositive(-x), std::exp(-x), 3e-16 * std::exp(-x)) << x;
    }
    // The cases see pairs both kept and cut off, and collisions.
    EXPECT_GT(run(cases[7].cloud, screened(0.3, 0.5), 0).collided.size(), 100u);
    EXPECT_EQ(run(cases.back().cloud, screened(0.5, 1), 1).collided,
              std::vector<ParticlePair>{ParticlePair(0, 1)});
    EXPECT_NE(run(cases[8].cloud, screened(0.6, 1.1), 0).sums.pairEnergy,
              run(cases[9].cloud, screened(0.6, 2.2 / (1 + 3e-6)), 0).sums.pairEnergy);
}

TEST(CellSweep, GivesTheSameBitsOnAnyThreadCount) {
    std::vector<Particle> cloud = box(3000, 16, 0.4, 9);
    for (double lambda : {0.3, 0.8}) {  // by columns, then over all pairs
        ForceModel model = screened(lambda, screenedCutoff(lambda, 1.1, 1e-6));
        const Outcome one = run(cloud, model, 1);
        EXPECT_GT(one.collided.size(), 10u);
        EXPECT_EQ(one.cells == 0, lambda > 0.5) << one.cells;
        for (int threads : {2, 5}) {
            const Outcome again = run(cloud, model, threads);
            EXPECT_EQ(again.collided, one.collided);
            EXPECT_EQ(std::memcmp(again.force.data(), one.force.data(), 9000 * sizeof(double)), 0);
            EXPECT_EQ(std::memcmp(&again.sums, &one.sums, sizeof(EnergySums)), 0) << threads;
        }
    }
}

}  // namespace
}  // namespace qv

#include "sim/collisions.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

using Vec = std::array<double, 3>;

Vec operator+(Vec a, Vec b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Vec operator*(double s, Vec a) {
    return {s * a[0], s * a[1], s * a[2]};
}
Vec operator-(Vec a, Vec b) {
    return a + (-1.0 * b);
}
double dot(Vec a, Vec b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec unit(Vec a) {
    return (1.0 / std::sqrt(dot(a, a))) * a;
}

Particle grain(Vec pos, Vec vel, double mass, double radius) {
    Particle p;
    for (int i = 0; i < 3; ++i) {
        p.pos[i] = pos[i];
        p.vel[i] = vel[i];
    }
    p.m = mass;
    p.rad = radius;
    return p;
}
Vec position(const Particle& p) {
    return {p.pos[0], p.pos[1], p.pos[2]};
}
Vec velocity(const Particle& p) {
    return {p.vel[0], p.vel[1], p.vel[2]};
}

void expectNear(Vec actual, Vec expected, double tolerance, const std::string& what) {
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance * std::max(std::abs(expected[i]), 1.0))
            << what << " component " << i;
}
Vec momentum(const Particle& a, const Particle& b) {
    return a.m * velocity(a) + b.m * velocity(b);
}
double kinetic(const Particle& a, const Particle& b) {
    return 0.5 * a.m * dot(velocity(a), velocity(a)) + 0.5 * b.m * dot(velocity(b), velocity(b));
}
bool finite(const Particle& p) {
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(p.pos[i]) || !std::isfinite(p.vel[i])) return false;
    return true;
}

TEST(Collide, ExchangeAlongTheNormalAtFirstContactConservesMomentumAndEnergy) {
    // a is placed at first contact with b, then moved on along the relative velocity into an
    // overlap: the exchange must follow the normal at the contact, not the present line of
    // centres. Then an immovable partner, and a pair just touching.
    const Vec bPos{1.2, -0.7, 0.4}, vb{0.1, -0.2, 0.3};
    const Vec w{0.9, 1.3, -0.2};           // a relative to b, approaching
    const Vec n = unit({0.3, 0.8, -0.5});  // from a towards b at contact
    const double cases[][3] = {{2, 5, 0.3}, {1e31, 7, 0.2}, {3, 3, 0}};  // masses, advance
    for (const auto& [massA, massB, advance] : cases) {
        SCOPED_TRACE(massA);
        Particle a = grain(bPos - 1.5 * n + advance * w, vb + w, massA, 0.6);
        Particle b = grain(bPos, vb, massB, 0.9);
        const Vec aPos = position(a);
        ASSERT_LE(a.distanceTo(b), a.rad + b.rad + 1e-12);
        const Vec p0 = momentum(a, b);
        const double e0 = kinetic(a, b);
        collide(a, b);
        const double along = dot(w, n), total = massA + massB;
        expectNear(velocity(a), vb + w - (2 * massB / total * along) * n, 1e-12, "a");
        expectNear(velocity(b), vb + (2 * massA / total * along) * n, 1e-12, "b");
        expectNear(momentum(a, b), p0, 1e-14, "momentum");
        EXPECT_NEAR(kinetic(a, b), e0, 1e-14 * e0);
        // The pair separates through its new velocities, not by moving.
        EXPECT_EQ(position(a), aPos);
        EXPECT_EQ(position(b), bPos);
    }
}

TEST(Collide, CasesWithoutAnExchangeLeaveThePairUnchanged) {
    struct Case {
        const char* name;
        Particle a, b;
    };
    const Case cases[] = {
        // The angle to the line of centres would be 0/0.
        {"identical velocities", grain({0, 0, 0}, {0.3, -0.1, 0.2}, 1, 1),
         grain({1, 0.5, 0}, {0.3, -0.1, 0.2}, 2, 1)},
        {"same place", grain({1, 2, 3}, {1, 0, 0}, 1, 1), grain({1, 2, 3}, {-1, 0, 0}, 1, 1)},
        {"first without mass", grain({0, 0, 0}, {1, 0, 0}, 0, 1),
         grain({1.5, 0, 0}, {-1, 0, 0}, 1, 1)},
        {"second without mass", grain({0, 0, 0}, {1, 0, 0}, 1, 1),
         grain({1.5, 0, 0}, {-1, 0, 0}, 0, 1)},
    };
    for (const Case& c : cases) {
        Particle a = c.a, b = c.b;
        collide(a, b);
        EXPECT_EQ(velocity(a), velocity(c.a)) << c.name;
        EXPECT_EQ(velocity(b), velocity(c.b)) << c.name;
    }
}

TEST(Collide, RandomPairsConserveMomentumAndEnergy) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> u(-1, 1), mass(0.1, 10);
    auto v = [&] { return Vec{u(random), u(random), u(random)}; };
    for (int trial = 0; trial < 2000; ++trial) {
        // Overlapping pairs both approaching and separating.
        Particle a = grain(v(), v(), mass(random), 0.8 + 0.2 * u(random));
        Particle b = grain(v(), v(), mass(random), 0.8 + 0.2 * u(random));
        if (a.distanceTo(b) >= a.rad + b.rad) continue;
        const Vec p0 = momentum(a, b);
        const double e0 = kinetic(a, b);
        collide(a, b);
        ASSERT_TRUE(finite(a) && finite(b)) << trial;
        const double scale = std::sqrt(2 * e0 * (a.m + b.m));
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(momentum(a, b)[i], p0[i], 1e-13 * scale);
        EXPECT_NEAR(kinetic(a, b), e0, 1e-12 * e0);
    }
}

// Apparatus radius 10 and step 0.4; grains of radius 0.5 meet the wall at 9.5 from the centre.
class Wall : public ::testing::Test {
  protected:
    void SetUp() override {
        test::resetProgramState();
        params.apparatusRadius = 10;
        params.timeStep = 0.4;
    }
    static constexpr double kWall = 9.5;
};

TEST_F(Wall, RemainderCountsFromTheContactAndAGrainEndingOnTheWallTurnsInwards) {
    EXPECT_NEAR(wallRemainder(grain({9.7, 0, 0}, {1, 0, 0}, 1, 0.5)), 0.2, 1e-12);
    // At rest there is no contact to count from.
    EXPECT_EQ(wallRemainder(grain({9.7, 0, 0}, {0, 0, 0}, 1, 0.5)), 0.0);

    Particle p = grain({kWall, 0, 0}, {1, 0, 0}, 1, 0.5);
    reflectFromWall(p);
    EXPECT_TRUE(finite(p));
    EXPECT_LT(p.vel[0], 0);
    EXPECT_LE(p.distanceFromCentre(), kWall);
}

TEST_F(Wall, GlancingBounceKeepsTheTangentialVelocity) {
    const Vec normal = unit({0.6, -0.3, 0.74});
    const Vec v{0.9, 1.1, 2.3};  // crosses outwards
    ASSERT_GT(dot(v, normal), 0);
    const double after = 0.15;  // time since the contact
    Particle p = grain(kWall * normal + after * v, v, 1, 0.5);
    const Vec mirrored = v - (2.0 * dot(v, normal)) * normal;
    reflectFromWall(p);
    expectNear(velocity(p), mirrored, 1e-9, "velocity");
    expectNear(position(p), kWall * normal + after * mirrored, 1e-9, "position");
}

TEST_F(Wall, GrainsWithoutAContactInThisStepAreLeftAsTheyAre) {
    const Particle cases[] = {
        grain({9.8, 0, 0}, {0, 0, 0}, 1, 0.5),     // at rest beyond the wall
        grain({12, 0, 0}, {0.5, 0, 0}, 1, 0.5),    // beyond since before the step, outwards
        grain({12, 0, 0}, {0, 0.5, 0}, 1, 0.5),    // beyond, its path misses the sphere
        grain({12, 0, 0}, {-1, 0, 0}, 1, 0.5),     // beyond, coming back in by itself
        grain({0, 0, 9.6}, {0, 0, 0.01}, 1, 0.5),  // beyond, not there a step ago either
    };
    for (const Particle& original : cases) {
        Particle p = original;
        reflectFromWall(p);
        EXPECT_EQ(position(p), position(original));
        EXPECT_EQ(velocity(p), velocity(original));
    }
}

TEST_F(Wall, RandomCrossingsEndInsideFiniteAndAtTheSameSpeed) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> u(-1, 1);
    int bounced = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const Vec start{u(random) * 5.5, u(random) * 5.5, u(random) * 5.5};
        const Vec v{u(random) * 12, u(random) * 12, u(random) * 12};
        Particle p = grain(start + params.timeStep * v, v, 1, 0.5);
        if (p.distanceFromCentre() < kWall) continue;
        ++bounced;
        const double speed = std::sqrt(dot(v, v));
        reflectFromWall(p);
        ASSERT_TRUE(finite(p)) << trial;
        EXPECT_LT(p.distanceFromCentre(), kWall + 1e-12);
        EXPECT_NEAR(p.speed(), speed, 1e-12 * speed);
        EXPECT_EQ(params.timeStep, 0.4) << "the bounce must not touch the step";
    }
    EXPECT_GT(bounced, 100);
}

}  // namespace
}  // namespace qv

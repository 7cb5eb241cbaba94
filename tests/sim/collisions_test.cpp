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
Vec operator-(Vec a, Vec b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec operator*(double s, Vec a) {
    return {s * a[0], s * a[1], s * a[2]};
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

void expectNear(Vec actual, Vec expected, double tolerance, const char* what) {
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance * std::max(std::abs(expected[i]), 1.0))
            << what << " component " << i;
}

void expectFinite(const Particle& p) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::isfinite(p.pos[i]));
        EXPECT_TRUE(std::isfinite(p.vel[i]));
    }
}

Vec momentum(const Particle& a, const Particle& b) {
    return a.m * velocity(a) + b.m * velocity(b);
}
double kinetic(const Particle& a, const Particle& b) {
    return 0.5 * a.m * dot(velocity(a), velocity(a)) + 0.5 * b.m * dot(velocity(b), velocity(b));
}

TEST(Collide, HeadOnEqualMassesExchangeVelocities) {
    Particle a = grain({0, 0, 0}, {1, 0, 0}, 3, 1);
    Particle b = grain({1.9, 0, 0}, {-1, 0, 0}, 3, 1);
    collide(a, b);
    expectNear(velocity(a), {-1, 0, 0}, 1e-12, "a");
    expectNear(velocity(b), {1, 0, 0}, 1e-12, "b");
    // Positions are left as they are: the pair separates through its new velocities.
    expectNear(position(a), {0, 0, 0}, 0, "a position");
    expectNear(position(b), {1.9, 0, 0}, 0, "b position");
}

TEST(Collide, MovingGrainStopsAndTheOneAtRestTakesItsVelocity) {
    Particle a = grain({0, 0, 0}, {0, 0, 2}, 5, 1);
    Particle b = grain({0, 0, 1.5}, {0, 0, 0}, 5, 1);  // line of centres along z: azimuth 0
    collide(a, b);
    expectNear(velocity(a), {0, 0, 0}, 1e-12, "a");
    expectNear(velocity(b), {0, 0, 2}, 1e-12, "b");
}

// Places a at the moment of first contact with b, then moves it on along the relative velocity
// into an overlap: the exchange must follow the normal at the contact, not the present line of
// centres.
struct ObliqueCase {
    Particle a, b;
    Vec contactNormal;
};

ObliqueCase obliqueOverlap(double massA, double massB, double advance) {
    const Vec bPos{1.2, -0.7, 0.4};
    const double contact = 0.6 + 0.9;
    const Vec normal = unit({0.3, 0.8, -0.5});  // from a towards b at contact
    const Vec vb{0.1, -0.2, 0.3};
    const Vec w{0.9, 1.3, -0.2};  // a relative to b, approaching: w . normal > 0
    const Vec aPos = bPos - contact * normal + advance * w;
    return {grain(aPos, vb + w, massA, 0.6), grain(bPos, vb, massB, 0.9), normal};
}

TEST(Collide, OverlappingPairExchangesMomentumAlongTheNormalAtFirstContact) {
    ObliqueCase c = obliqueOverlap(2, 5, 0.3);
    ASSERT_LT(c.a.distanceTo(c.b), c.a.rad + c.b.rad);
    const Vec w = velocity(c.a) - velocity(c.b);
    const double along = dot(w, c.contactNormal);
    ASSERT_GT(along, 0);
    const Vec expectedA = velocity(c.a) - (2.0 * 5 / 7 * along) * c.contactNormal;
    const Vec expectedB = velocity(c.b) + (2.0 * 2 / 7 * along) * c.contactNormal;
    const Vec p0 = momentum(c.a, c.b);
    const double e0 = kinetic(c.a, c.b);

    collide(c.a, c.b);
    expectNear(velocity(c.a), expectedA, 1e-12, "a");
    expectNear(velocity(c.b), expectedB, 1e-12, "b");
    expectNear(momentum(c.a, c.b), p0, 1e-14, "momentum");
    EXPECT_NEAR(kinetic(c.a, c.b), e0, 1e-14 * e0);
}

TEST(Collide, TouchingPairUsesThePresentLineOfCentres) {
    // r equals the contact distance, so the tilt beta is 0.
    Particle a = grain({0, 0, 0}, {0.5, 0.2, 1}, 1, 1);
    Particle b = grain({0, 0, 2}, {0, 0, 0}, 1, 1);
    collide(a, b);
    expectNear(velocity(a), {0.5, 0.2, 0}, 1e-12, "a");
    expectNear(velocity(b), {0, 0, 1}, 1e-12, "b");
}

TEST(Collide, ImmovablePartnerKeepsItsVelocityAndMirrorsTheOther) {
    ObliqueCase c = obliqueOverlap(1e31, 7, 0.2);
    const Vec va = velocity(c.a);
    const Vec relative = velocity(c.b) - va;
    const Vec mirrored = relative - (2.0 * dot(relative, c.contactNormal)) * c.contactNormal;
    collide(c.a, c.b);
    EXPECT_EQ(velocity(c.a), va);
    expectNear(velocity(c.b) - va, mirrored, 1e-12, "b relative to a");
}

TEST(Collide, CasesWithoutAnExchangeLeaveThePairUnchangedAndFinite) {
    // Identical velocities: nothing to exchange (the angle to the line of centres is 0/0).
    Particle a = grain({0, 0, 0}, {0.3, -0.1, 0.2}, 1, 1);
    Particle b = grain({1, 0.5, 0}, {0.3, -0.1, 0.2}, 2, 1);
    collide(a, b);
    EXPECT_EQ(velocity(a), (Vec{0.3, -0.1, 0.2}));
    EXPECT_EQ(velocity(b), (Vec{0.3, -0.1, 0.2}));

    // Same place: no line of centres.
    Particle c = grain({1, 2, 3}, {1, 0, 0}, 1, 1);
    Particle d = grain({1, 2, 3}, {-1, 0, 0}, 1, 1);
    collide(c, d);
    EXPECT_EQ(velocity(c), (Vec{1, 0, 0}));
    EXPECT_EQ(velocity(d), (Vec{-1, 0, 0}));

    // A record without mass takes part in no collision, whichever side it is on.
    for (int massless = 0; massless < 2; ++massless) {
        Particle e = grain({0, 0, 0}, {1, 0, 0}, massless == 0 ? 0 : 1, 1);
        Particle f = grain({1.5, 0, 0}, {-1, 0, 0}, massless == 1 ? 0 : 1, 1);
        collide(e, f);
        EXPECT_EQ(velocity(e), (Vec{1, 0, 0}));
        EXPECT_EQ(velocity(f), (Vec{-1, 0, 0}));
        expectFinite(e);
        expectFinite(f);
    }
}

TEST(Collide, RandomPairsConserveMomentumAndEnergy) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> u(-1, 1);
    std::uniform_real_distribution<double> mass(0.1, 10);
    for (int trial = 0; trial < 2000; ++trial) {
        // Overlapping pairs both approaching and separating.
        Particle a = grain({u(random), u(random), u(random)}, {u(random), u(random), u(random)},
                           mass(random), 0.8 + 0.2 * u(random));
        Particle b = grain({u(random), u(random), u(random)}, {u(random), u(random), u(random)},
                           mass(random), 0.8 + 0.2 * u(random));
        if (a.distanceTo(b) >= a.rad + b.rad) continue;
        const Vec p0 = momentum(a, b);
        const double e0 = kinetic(a, b);
        collide(a, b);
        expectFinite(a);
        expectFinite(b);
        const double scale = std::sqrt(2 * e0 * (a.m + b.m));
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(momentum(a, b)[i], p0[i], 1e-13 * scale);
        EXPECT_NEAR(kinetic(a, b), e0, 1e-12 * e0);
    }
}

class Wall : public ::testing::Test {
  protected:
    void SetUp() override {
        test::resetProgramState();
        params.apparatusRadius = 10;
        params.timeStep = 0.4;
    }
    static constexpr double kRadius = 0.5;
    static constexpr double kWall = 9.5;  // where the grain's surface meets the wall
};

TEST_F(Wall, RemainderIsThePartOfTheStepAfterContact) {
    const Particle p = grain({9.7, 0, 0}, {1, 0, 0}, 1, kRadius);
    EXPECT_NEAR(wallRemainder(p), 0.2, 1e-12);
    // At rest there is no contact to count from.
    EXPECT_EQ(wallRemainder(grain({9.7, 0, 0}, {0, 0, 0}, 1, kRadius)), 0.0);
}

TEST_F(Wall, RadialBounceComesBackAtTheMirrorPoint) {
    Particle p = grain({0, 9.7, 0}, {0, 1, 0}, 1, kRadius);
    reflectFromWall(p);
    expectNear(velocity(p), {0, -1, 0}, 1e-12, "velocity");
    expectNear(position(p), {0, 9.3, 0}, 1e-12, "position");
    EXPECT_EQ(params.timeStep, 0.4);
}

TEST_F(Wall, GlancingBounceKeepsTheTangentialVelocity) {
    const Vec normal = unit({0.6, -0.3, 0.74});
    const Vec v{0.9, 1.1, 2.3};  // crosses outwards: v . normal > 0
    ASSERT_GT(dot(v, normal), 0);
    const double after = 0.15;  // time since the contact
    Particle p = grain(kWall * normal + after * v, v, 1, kRadius);
    const Vec mirrored = v - (2.0 * dot(v, normal)) * normal;
    reflectFromWall(p);
    expectNear(velocity(p), mirrored, 1e-9, "velocity");
    expectNear(position(p), kWall * normal + after * mirrored, 1e-9, "position");
    EXPECT_LT(p.distanceFromCentre(), kWall);
    EXPECT_EQ(params.timeStep, 0.4);
}

TEST_F(Wall, GrainsWithoutAContactInThisStepAreLeftAsTheyAre) {
    const Particle cases[] = {
        grain({9.8, 0, 0}, {0, 0, 0}, 1, kRadius),     // at rest beyond the wall
        grain({12, 0, 0}, {0.5, 0, 0}, 1, kRadius),    // beyond since before the step, outwards
        grain({12, 0, 0}, {0, 0.5, 0}, 1, kRadius),    // beyond, its path misses the sphere
        grain({12, 0, 0}, {-1, 0, 0}, 1, kRadius),     // beyond, coming back in by itself
        grain({0, 0, 9.6}, {0, 0, 0.01}, 1, kRadius),  // beyond, not there a step ago either
    };
    for (const Particle& original : cases) {
        Particle p = original;
        reflectFromWall(p);
        EXPECT_EQ(position(p), position(original));
        EXPECT_EQ(velocity(p), velocity(original));
        EXPECT_EQ(params.timeStep, 0.4);
    }
}

TEST_F(Wall, GrainEndingExactlyOnTheWallTurnsInwards) {
    Particle p = grain({kWall, 0, 0}, {1, 0, 0}, 1, kRadius);
    reflectFromWall(p);
    expectFinite(p);
    EXPECT_LT(p.vel[0], 0);
    EXPECT_LE(p.distanceFromCentre(), kWall);
    EXPECT_EQ(params.timeStep, 0.4);
}

TEST_F(Wall, RandomCrossingsEndInsideAndFinite) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> u(-1, 1);
    int bounced = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const Vec start{u(random) * 5.5, u(random) * 5.5, u(random) * 5.5};
        const Vec v{u(random) * 12, u(random) * 12, u(random) * 12};
        Particle p = grain(start + params.timeStep * v, v, 1, kRadius);
        if (p.distanceFromCentre() < kWall) continue;
        ++bounced;
        const double speed = std::sqrt(dot(v, v));
        reflectFromWall(p);
        expectFinite(p);
        EXPECT_LT(p.distanceFromCentre(), kWall + 1e-12);
        // The wall takes no energy.
        EXPECT_NEAR(std::sqrt(dot(velocity(p), velocity(p))), speed, 1e-12 * speed);
        EXPECT_EQ(params.timeStep, 0.4);
    }
    EXPECT_GT(bounced, 100);
}

}  // namespace
}  // namespace qv

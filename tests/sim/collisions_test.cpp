#include "sim/collisions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "sim/simulation.h"
#include "tests/sim/grazing_crossings.h"
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
    std::copy(pos.begin(), pos.end(), p.pos);
    std::copy(vel.begin(), vel.end(), p.vel);
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
bool finite(const Particle& p) {
    return std::isfinite(p.distanceFromCentre()) && std::isfinite(p.speed());
}

TEST(Collide, ExchangeAlongTheNormalAtFirstContact) {
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
        collide(a, b);
        const double along = dot(w, n), total = massA + massB;
        expectNear(velocity(a), vb + w - (2 * massB / total * along) * n, 1e-12, "a");
        expectNear(velocity(b), vb + (2 * massA / total * along) * n, 1e-12, "b");
        // The pair separates through its new velocities, not by moving.
        EXPECT_EQ(position(a), aPos);
        EXPECT_EQ(position(b), bPos);
    }
}

TEST(Collide, HeadOnAlongAnAxisEqualMassesSwapVelocities) {
    // Straight up the y axis: the azimuth of the line of centres has no x part to go by.
    Particle a = grain({0, 0, 0}, {0, 1, 0}, 1, 0.5), b = grain({0, 1, 0}, {0, 0, 0}, 1, 0.5);
    collide(a, b);
    expectNear(velocity(a), {0, 0, 0}, 1e-15, "a");
    expectNear(velocity(b), {0, 1, 0}, 1e-15, "b");
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

// Apparatus radius 10 and step 0.4; grains of radius 0.5 meet the wall at 9.5 from the centre.
class Wall : public ::testing::Test {
  protected:
    void SetUp() override {
        test::resetProgramState();
        sim.model.apparatusRadius = 10;
        sim.model.timeStep = 0.4;
    }
    static constexpr double kWall = 9.5;
};

TEST_F(Wall, EveryGrainOnOrBeyondTheWallEndsStrictlyInsideAtItsSpeed) {
    EXPECT_NEAR(wallRemainder(grain({9.7, 0, 0}, {1, 0, 0}, 1, 0.5)), 0.2, 1e-12);
    // At rest there is no contact to count from.
    EXPECT_EQ(wallRemainder(grain({9.7, 0, 0}, {0, 0, 0}, 1, 0.5)), 0.0);

    // Grains beyond the wall since before the step are mirrored in the wall sphere.
    auto inverted = [](Vec at) { return (kWall * kWall / dot(at, at)) * at; };
    struct Case {
        const char* name;
        Vec pos, vel;
        double radius;
        Vec endPos, endVel;
    };
    const Case cases[] = {
        {"radial crossing", {9.7, 0, 0}, {1, 0, 0}, 0.5, {9.3, 0, 0}, {-1, 0, 0}},
        {"steep crossing", {9.6, 0.03, 0}, {1, 0.3, 0}, 0.5, {9.4, 0.03, 0}, {-1, 0.3, 0}},
        {"crossing without size", {10.1, 0, 0}, {1, 0, 0}, 0, {9.9, 0, 0}, {-1, 0, 0}},
        {"on the wall, outwards", {kWall, 0, 0}, {1, 0, 0}, 0.5, {kWall, 0, 0}, {-1, 0, 0}},
        {"on the wall at rest", {kWall, 0, 0}, {0, 0, 0}, 0.5, {kWall, 0, 0}, {0, 0, 0}},
        {"beyond at rest", {9.8, 0, 0}, {0, 0, 0}, 0.5, inverted({9.8, 0, 0}), {0, 0, 0}},
        {"beyond, outwards", {12, 0, 0}, {0.5, 0, 0}, 0.5, inverted({12, 0, 0}), {-0.5, 0, 0}},
        {"beyond, path misses", {12, 0, 0}, {0, 0.5, 0}, 0.5, inverted({12, 0, 0}), {0, 0.5, 0}},
        {"beyond, inwards", {12, 0, 0}, {-1, 0, 0}, 0.5, inverted({12, 0, 0}), {-1, 0, 0}},
        {"slowly out", {0, 0, 9.6}, {0, 0, 0.01}, 0.5, inverted({0, 0, 9.6}), {0, 0, -0.01}},
        {"far out", {0, -1e4, 0}, {0, -3, 0}, 0.5, inverted({0, -1e4, 0}), {0, 3, 0}},
        {"grain almost as large", {0.7, 0, 0}, {1, 0, 0}, 9.5, {0.3, 0, 0}, {-1, 0, 0}},
    };
    for (const Case& c : cases) {
        Particle p = grain(c.pos, c.vel, 1, c.radius);
        const double speed = p.speed();
        reflectFromWall(p);
        ASSERT_TRUE(finite(p)) << c.name;
        EXPECT_LT(p.distanceFromCentre(), sim.model.apparatusRadius - c.radius) << c.name;
        EXPECT_NEAR(p.speed(), speed, 1e-12 * speed) << c.name;
        expectNear(position(p), c.endPos, 1e-9, c.name);
        expectNear(velocity(p), c.endVel, 1e-9, c.name);
        EXPECT_TRUE(p.rgb[0] == 0 && p.m == 1) << c.name << ": colour or mass changed";
    }
}

// Bounce by bounce, straight from the definition: at each contact the velocity is mirrored at the
// radius, and the grain flies on to the next contact or to the end of the step.
struct Walk {
    Vec pos, vel;
    int bounces;
};
Walk walkBounceByBounce(const test::GrazingCrossing& crossing) {
    Vec vel = velocity(crossing.grain);
    Vec contact = position(crossing.grain) - crossing.sinceContact * vel;
    double left = crossing.sinceContact;
    for (int bounces = 1;; ++bounces) {
        const Vec n = unit(contact);
        vel = vel - (2 * dot(vel, n)) * n;
        const double chord = -2 * dot(contact, vel) / dot(vel, vel);
        if (chord >= left) return {contact + left * vel, vel, bounces};
        contact = test::kGrazingWallDistance * unit(contact + chord * vel);
        left -= chord;
    }
}

TEST(WallGrazing, CrossingsEndInsideAtTheirSpeedWhereABounceByBounceWalkEnds) {
    test::resetProgramState();
    sim.model.apparatusRadius = test::kGrazingApparatusRadius;
    sim.model.timeStep = test::kGrazingTimeStep;
    std::mt19937_64 random(5);
    int severalBounces = 0;
    for (int trial = 0; trial < 100000; ++trial) {
        const test::GrazingCrossing crossing = test::makeGrazingCrossing(random);
        const Walk expected = walkBounceByBounce(crossing);
        severalBounces += expected.bounces > 1;
        Particle p = crossing.grain;
        const double speed = p.speed();
        reflectFromWall(p);
        ASSERT_TRUE(finite(p)) << trial;
        ASSERT_LT(p.distanceFromCentre(), test::kGrazingWallDistance) << trial;
        ASSERT_NEAR(p.speed(), speed, 1e-12 * speed) << trial;
        for (int i = 0; i < 3; ++i) {
            ASSERT_NEAR(p.pos[i], expected.pos[i], 1e-8) << trial << " after " << expected.bounces;
            ASSERT_NEAR(p.vel[i], expected.vel[i], 1e-8) << trial << " after " << expected.bounces;
        }
    }
    EXPECT_GT(severalBounces, 20000);
    EXPECT_EQ(sim.model.timeStep, test::kGrazingTimeStep) << "the bounce must not touch the step";
}

}  // namespace
}  // namespace qv

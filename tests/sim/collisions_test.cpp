#include "sim/collisions.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>

#include "tests/sim/grazing_crossings.h"

namespace qv {
namespace {

using Vec = std::array<double, 3>;
Vec operator+(Vec a, Vec b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
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
    return Particle{{pos[0], pos[1], pos[2]}, {vel[0], vel[1], vel[2]}, {}, mass, 0, radius};
}
void expectAt(const Particle& p, Vec pos, Vec vel, double tolerance) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(p.pos[i], pos[i], tolerance * std::max(std::abs(pos[i]), 1.0)) << i;
        EXPECT_NEAR(p.vel[i], vel[i], tolerance * std::max(std::abs(vel[i]), 1.0)) << i;
    }
}

TEST(Collide, ExchangeAlongTheNormalAtFirstContactOrNoneAtAll) {
    // a is moved from first contact with b on along the relative velocity into an overlap: the
    // exchange follows the normal at the contact, and the pair separates through velocities only.
    const Vec bPos{1.2, -0.7, 0.4}, vb{0.1, -0.2, 0.3}, w{0.9, 1.3, -0.2};
    const Vec n = unit({0.3, 0.8, -0.5});  // from a towards b at contact
    const double cases[][3] = {{2, 5, 0.3}, {1e31, 7, 0.2}, {3, 3, 0}};  // masses, advance
    for (const auto& [massA, massB, advance] : cases) {
        SCOPED_TRACE(massA);
        const Vec aPos = bPos + (-1.5 * n) + advance * w;
        Particle a = grain(aPos, vb + w, massA, 0.6), b = grain(bPos, vb, massB, 0.9);
        collide(a, b);
        const double along = dot(w, n), total = massA + massB;
        expectAt(a, aPos, vb + w + (-2 * massB / total * along) * n, 1e-12);
        expectAt(b, bPos, vb + (2 * massA / total * along) * n, 1e-12);
    }
    Particle a = grain({0, 0, 0}, {0, 1, 0}, 1, 0.5), b = grain({0, 1, 0}, {0, 0, 0}, 1, 0.5);
    collide(a, b);  // head on up the y axis: no x part for the azimuth of the line of centres
    expectAt(b, {0, 1, 0}, {0, 1, 0}, 1e-15);
    std::mt19937 rng(5);  // head on along directions where rounding can put cos alpha past 1
    std::normal_distribution<double> normal;
    for (int t = 0; t < 200; ++t) {
        const Vec u = unit({normal(rng), normal(rng), normal(rng)});
        Particle p = grain({0, 0, 0}, u, 1, 0.5), q = grain(0.99 * u, {0, 0, 0}, 1, 0.5);
        collide(p, q);
        expectAt(q, 0.99 * u, u, 1e-9);
        // Moving apart along the line of centres: cos alpha may round past -1.
        Particle away = grain({0, 0, 0}, -1.0 * u, 1, 0.5), rest = grain(0.99 * u, {}, 1, 0.5);
        collide(away, rest);
        for (int c = 0; c < 3; ++c)
            EXPECT_TRUE(std::isfinite(away.vel[c]) && std::isfinite(rest.vel[c])) << t;
    }
    // Overlapping, moving across the line of centres in the x-y plane: the exchange stays in it.
    Particle across = grain({0, 0, 0}, {0, 1, 0}, 1, 0.5), still = grain({0.9, 0, 0}, {}, 1, 0.5);
    collide(across, still);
    EXPECT_TRUE(std::abs(across.vel[2]) < 1e-12 && std::abs(still.vel[2]) < 1e-12);
    EXPECT_GT(std::abs(still.vel[0]) + std::abs(still.vel[1]), 0.1);
    // Identical velocities, one place, either partner without mass: nothing to exchange.
    const Particle unchanged[][2] = {
        {grain({0, 0, 0}, {0.3, -0.1, 0.2}, 1, 1), grain({1, 0.5, 0}, {0.3, -0.1, 0.2}, 2, 1)},
        {grain({1, 2, 3}, {1, 0, 0}, 1, 1), grain({1, 2, 3}, {-1, 0, 0}, 1, 1)},
        {grain({0, 0, 0}, {1, 0, 0}, 0, 1), grain({1.5, 0, 0}, {-1, 0, 0}, 1, 1)},
        {grain({0, 0, 0}, {1, 0, 0}, 1, 1), grain({1.5, 0, 0}, {-1, 0, 0}, 0, 1)}};
    for (const auto& pair : unchanged) {
        Particle c = pair[0], d = pair[1];
        collide(c, d);
        EXPECT_EQ(std::memcmp(&c, &pair[0], sizeof c) + std::memcmp(&d, &pair[1], sizeof d), 0);
    }
}

// Apparatus radius 10 and step 0.4; grains of radius 0.5 meet the wall at 9.5 from the centre.
// Grains beyond the wall since before the step are mirrored in the wall sphere.
TEST(Wall, EveryGrainOnOrBeyondTheWallEndsStrictlyInsideAtItsSpeed) {
    constexpr double kR = 10, kDt = 0.4, kWall = 9.5;
    EXPECT_NEAR(wallRemainder(grain({9.7, 0, 0}, {1, 0, 0}, 1, 0.5), kR, kDt), 0.2, 1e-12);
    EXPECT_EQ(wallRemainder(grain({9.7, 0, 0}, {0, 0, 0}, 1, 0.5), kR, kDt), 0.0);
    EXPECT_NEAR(wallRemainder(grain({9.3, 0, 0}, {-2, 0, 0}, 1, 0.5), kR, kDt), 0.1, 1e-12);
    Particle lost = grain({INFINITY, 0, 0}, {1, 0, 0}, 1, 0.5);  // nothing left to mirror
    reflectFromWall(lost, kR, kDt);
    EXPECT_TRUE(std::isinf(lost.pos[0]) && lost.vel[0] == 1);
    auto inverted = [](Vec at) { return (kWall * kWall / dot(at, at)) * at; };
    const struct {
        Vec pos, vel;
        double radius;
        Vec endPos, endVel;
    } cases[] = {
        {{9.7, 0, 0}, {1, 0, 0}, 0.5, {9.3, 0, 0}, {-1, 0, 0}},
        {{9.9, 0, 0}, {1, 0, 0}, 0.5, {9.1, 0, 0}, {-1, 0, 0}},  // left the wall as the step began
        {{9.6, 0.01, 0}, {1, 0.1, 0}, 0.5, {9.4, 0.01, 0}, {-1, 0.1, 0}},
        {{10.01, 0, 0}, {0.05, 0, 0}, 0, {9.99, 0, 0}, {-0.05, 0, 0}},
        {{kWall, 0, 0}, {1, 0, 0}, 0.5, {kWall, 0, 0}, {-1, 0, 0}},
        {{kWall, 0, 0}, {0, 0, 0}, 0.5, {kWall, 0, 0}, {0, 0, 0}},
        {{9.8, 0, 0}, {0, 0, 0}, 0.5, inverted({9.8, 0, 0}), {0, 0, 0}},
        {{12, 0, 0}, {0.5, 0, 0}, 0.5, inverted({12, 0, 0}), {-0.5, 0, 0}},
        {{12, 0, 0}, {0, 0.5, 0}, 0.5, inverted({12, 0, 0}), {0, 0.5, 0}},
        {{12, 0, 0}, {-1, 0, 0}, 0.5, inverted({12, 0, 0}), {-1, 0, 0}},
        {{0, 0, 9.6}, {0, 0, 0.01}, 0.5, inverted({0, 0, 9.6}), {0, 0, -0.01}},
        {{0, -1e4, 0}, {0, -3, 0}, 0.5, inverted({0, -1e4, 0}), {0, 3, 0}},
        {{0.7, 0, 0}, {1, 0, 0}, 9.5, {0.3, 0, 0}, {-1, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pos[0] + c.pos[1] + c.pos[2]);
        Particle p = grain(c.pos, c.vel, 1, c.radius);
        reflectFromWall(p, kR, kDt);
        EXPECT_LT(p.distanceFromCentre(), kR - c.radius);
        expectAt(p, c.endPos, c.endVel, 1e-9);
        EXPECT_TRUE(p.rgb[0] == 0 && p.m == 1) << "colour or mass changed";
    }
}

// Bounce by bounce, straight from the definition: at each contact the velocity is mirrored at the
// radius, and the grain flies on to the next contact or to the end of the step.
TEST(Wall, GrazingCrossingsEndWhereABounceByBounceWalkEnds) {
    std::mt19937_64 random(5);
    int severalBounces = 0;
    for (int trial = 0; trial < 100000; ++trial) {
        const test::GrazingCrossing crossing = test::makeGrazingCrossing(random);
        Particle p = crossing.grain;
        Vec vel{p.vel[0], p.vel[1], p.vel[2]},
            contact = Vec{p.pos[0], p.pos[1], p.pos[2]} + (-crossing.sinceContact) * vel;
        double left = crossing.sinceContact, chord = 0;
        for (int bounces = 0;; ++bounces, left -= chord) {
            vel = vel + (-2 * dot(vel, unit(contact))) * unit(contact);
            chord = -2 * dot(contact, vel) / dot(vel, vel);
            if (chord >= left) break;
            contact = test::kGrazingWallDistance * unit(contact + chord * vel);
            severalBounces += bounces == 0;
        }
        reflectFromWall(p, test::kGrazingApparatusRadius, test::kGrazingTimeStep);
        ASSERT_LT(p.distanceFromCentre(), test::kGrazingWallDistance) << trial;
        const Vec end = contact + left * vel;
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(std::abs(p.pos[i] - end[i]) < 1e-8 && std::abs(p.vel[i] - vel[i]) < 1e-8)
                << trial;
    }
    EXPECT_GT(severalBounces, 20000);
}

}  // namespace
}  // namespace qv

#pragma once
// Grains that left the wall sphere at a shallow angle during a step whose rest spans several
// chords: the hard case of the wall bounce, for the wall tests and the wall benchmark.
#include <cmath>
#include <random>

#include "sim/particle.h"

namespace qv::test {

// The wall of a sphere of radius 10 for grains of radius 0.5, met once per step of 1.
constexpr double kGrazingApparatusRadius = 10;
constexpr double kGrazingGrainRadius = 0.5;
constexpr double kGrazingWallDistance = kGrazingApparatusRadius - kGrazingGrainRadius;
constexpr double kGrazingTimeStep = 1;

struct GrazingCrossing {
    Particle grain;
    double sinceContact;  // the part of the step after the grain met the wall
};

// A grain inside at the start of the step and outside at its end, its path up to 0.3 rad off the
// tangent plane of the wall, at a speed of 1 to 7.
inline GrazingCrossing makeGrazingCrossing(std::mt19937_64& random) {
    std::normal_distribution<double> gauss;
    std::uniform_real_distribution<double> unit(0, 1);
    auto dot = [](const double a[3], const double b[3]) {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    };
    while (true) {
        double n[3], t[3], start[3];
        for (int c = 0; c < 3; ++c) n[c] = gauss(random), t[c] = gauss(random);
        const double length = std::sqrt(dot(n, n)), along = dot(t, n) / length;
        for (int c = 0; c < 3; ++c) n[c] /= length, t[c] -= along * n[c];
        const double tLength = std::sqrt(dot(t, t)), angle = 0.3 * unit(random);
        const double speed = 1 + 6 * unit(random), sinceContact = kGrazingTimeStep * unit(random);
        Particle p{{}, {}, {}, 1, 0, kGrazingGrainRadius};
        for (int c = 0; c < 3; ++c) {
            p.vel[c] = speed * (std::cos(angle) * t[c] / tLength + std::sin(angle) * n[c]);
            p.pos[c] = kGrazingWallDistance * n[c] + sinceContact * p.vel[c];
            start[c] = p.pos[c] - kGrazingTimeStep * p.vel[c];
        }
        const double limit = kGrazingWallDistance * kGrazingWallDistance;
        if (dot(start, start) < limit && dot(p.pos, p.pos) >= limit) return {p, sinceContact};
    }
}

}  // namespace qv::test

#include "sim/collisions.h"

#include <cmath>

#include "sim/constants.h"
#include "sim/state.h"

namespace qv {
namespace {

// The wall is a sphere heavier than anything a grain can push.
constexpr double kWallMass = 1e60;
// A grain gliding almost along the wall may bounce several times in one step; rounding can also
// leave it a hair outside after a bounce. Either way the repeat loop must end.
constexpr int kMaxWallPasses = 64;

// Rounding can push a cosine or sine a hair past +-1, where acos and asin have no value.
double unitClamp(double x) {
    return x > 1.0 ? 1.0 : (x < -1.0 ? -1.0 : x);
}

double dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// When, counted from one step `dt` back, the grain reaches distance `wallDistance` from the centre.
// `entering` tells which root was taken: the later root is where the straight path leaves the
// sphere (moving outwards), the earlier one where it enters (moving inwards). No contact at all for
// a grain at rest or a path that misses the sphere.
struct WallContact {
    bool found = false;
    double time = 0;
    bool entering = false;
};

WallContact wallContact(const Particle& p, double dt, double wallDistance) {
    double start[3];
    for (int i = 0; i < 3; ++i) start[i] = p.pos[i] - p.vel[i] * dt;
    const double a = dot(p.vel, p.vel);
    const double b = 2.0 * dot(start, p.vel);
    const double c = dot(start, start) - wallDistance * wallDistance;
    const double discriminant = b * b - 4.0 * a * c;
    WallContact contact;
    if (!(a > 0.0) || !(discriminant >= 0.0)) return contact;
    const double root = std::sqrt(discriminant);
    const double t1 = (-b + root) / (2.0 * a);
    const double t2 = (-b - root) / (2.0 * a);
    if (!std::isfinite(t1) || !std::isfinite(t2)) return contact;
    contact.found = true;
    contact.entering = t2 < t1 && t2 >= 0.0;
    contact.time = contact.entering ? t2 : t1;
    return contact;
}

}  // namespace

void collide(Particle& a, Particle& b) {
    double centres[3];  // line of centres, from a to b
    double w[3];        // a's velocity relative to b
    for (int i = 0; i < 3; ++i) {
        centres[i] = b.pos[i] - a.pos[i];
        w[i] = a.vel[i] - b.vel[i];
    }
    const double r = std::sqrt(dot(centres, centres));
    const double v = std::sqrt(dot(w, w));
    const double contactDistance = a.rad + b.rad;
    const bool aImmovable = a.m > immovableMass;

    // Nothing to exchange without relative motion; no line of centres for two bodies in the same
    // place or without size; no momentum balance for a body without mass. The pair is left as it
    // is for this step.
    if (!(v > 0.0) || !(r > 0.0) || !(contactDistance > 0.0)) return;
    if (!aImmovable && !(a.m > 0.0 && b.m > 0.0)) return;

    // Spherical frame of the line of centres.
    const double theta = std::acos(unitClamp(centres[2] / r));
    const double phi =
        centres[0] == 0.0 && centres[1] == 0.0 ? 0.0 : std::atan2(centres[1], centres[0]);
    const double eTheta[3] = {std::cos(theta) * std::cos(phi), std::cos(theta) * std::sin(phi),
                              -std::sin(theta)};
    const double ePhi[3] = {-std::sin(phi), std::cos(phi), 0.0};
    const double n[3] = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                         std::cos(theta)};

    const double j = dot(w, n);
    const double i = dot(w, eTheta);
    const double k = dot(w, ePhi);
    const double alpha = std::acos(unitClamp(j / v));
    const double lambda = i == 0.0 && k == 0.0 ? 0.0 : std::atan2(k, i);

    // Overlapping spheres met earlier: moving a back along w until the centres are a contact
    // distance apart tilts the line of centres by beta towards w.
    const double beta = alpha + std::asin(unitClamp(-r * std::sin(alpha) / contactDistance));
    const double tanBeta = std::tan(beta);
    double normal[3];
    for (int c = 0; c < 3; ++c)
        normal[c] = n[c] + tanBeta * (std::cos(lambda) * eTheta[c] + std::sin(lambda) * ePhi[c]);

    const double massRatio = aImmovable ? 0.0 : b.m / a.m;
    const double exchange = 2.0 * dot(w, normal) / ((1.0 + tanBeta * tanBeta) * (1.0 + massRatio));
    for (int c = 0; c < 3; ++c) {
        b.vel[c] += exchange * normal[c];
        a.vel[c] -= massRatio * exchange * normal[c];
    }
}

double wallRemainder(const Particle& p) {
    const double dt = params.timeStep;
    const WallContact contact = wallContact(p, dt, params.apparatusRadius - p.rad);
    // A grain at rest, or one whose path never meets the wall, has no contact to count from.
    return contact.found ? dt - contact.time : 0.0;
}

void reflectFromWall(Particle& p) {
    const double savedStep = params.timeStep;
    const double wallDistance = params.apparatusRadius - p.rad;
    for (int pass = 0; pass < kMaxWallPasses; ++pass) {
        const double dt = params.timeStep;
        const WallContact contact = wallContact(p, dt, wallDistance);
        // Only a grain that crossed the wall outwards within the (remaining) step is bounced. One
        // at rest, one already beyond the wall when the step began, or one that has not reached
        // the wall yet keeps its place and velocity for this step.
        if (!contact.found || contact.entering || contact.time < 0.0) break;
        double contactTime = contact.time;
        if (contactTime > dt) {
            // Rounding can put the contact of a grain that sits exactly on the wall, moving out,
            // a hair after the end of the step; any other grain has not reached the wall yet.
            if (!(p.distanceFromCentre() >= wallDistance && dot(p.pos, p.vel) > 0.0)) break;
            contactTime = dt;
        }
        const double remainder = dt - contactTime;

        for (int c = 0; c < 3; ++c) p.pos[c] -= p.vel[c] * remainder;

        // The wall, for the moment of the bounce: an immovable sphere of the grain's size touching
        // it from outside on its radial line.
        Particle wall;
        wall.rad = p.rad;
        wall.m = kWallMass;
        const double distance = p.distanceFromCentre() + 2.0 * p.rad;
        const double theta = p.polarAngle();
        const double phi = p.azimuth();
        wall.pos[0] = distance * std::sin(theta) * std::cos(phi);
        wall.pos[1] = distance * std::sin(theta) * std::sin(phi);
        wall.pos[2] = distance * std::cos(theta);
        collide(wall, p);

        for (int c = 0; c < 3; ++c) p.pos[c] += p.vel[c] * remainder;
        params.timeStep = remainder;
        if (wallDistance > p.distanceFromCentre()) break;
    }
    params.timeStep = savedStep;
}

}  // namespace qv

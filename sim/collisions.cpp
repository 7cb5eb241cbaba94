#include "sim/collisions.h"

#include <algorithm>
#include <cmath>

#include "sim/constants.h"

namespace qv {
namespace {

// The wall is a sphere heavier than anything a grain can push.
constexpr double kWallMass = 1e60;

// Rounding can push a cosine or sine a hair past +-1, where acos and asin have no value.
double unitClamp(double x) {
    return x > 1.0 ? 1.0 : (x < -1.0 ? -1.0 : x);
}

double dot(const double* a, const double* b) {  // of two 3-vectors
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

bool isFinite(const Particle& p) {
    for (int c : kAxes)
        if (!std::isfinite(p.pos[c]) || !std::isfinite(p.vel[c])) return false;
    return true;
}

// When, counted from one step `dt` back, the straight path of the grain is at distance
// `wallDistance` from the centre: it enters the sphere at `enter` and leaves it at `leave`. No
// contact at all for a grain at rest or a path that misses the sphere.
struct WallContact {
    bool found = false;
    double enter = 0;
    double leave = 0;
};

WallContact wallContact(const Particle& p, double dt, double wallDistance) {
    const double start[] = {p.pos[0] - p.vel[0] * dt, p.pos[1] - p.vel[1] * dt,
                            p.pos[2] - p.vel[2] * dt};
    const double a = dot(p.vel, p.vel);
    const double b = 2.0 * dot(start, p.vel);
    const double c = dot(start, start) - wallDistance * wallDistance;
    const double discriminant = b * b - 4.0 * a * c;
    WallContact contact;
    if (!(a > 0.0) || !(discriminant >= 0.0)) return contact;
    const double root = std::sqrt(discriminant);
    contact.leave = (-b + root) / (2.0 * a);
    contact.enter = (-b - root) / (2.0 * a);
    contact.found = std::isfinite(contact.leave) && std::isfinite(contact.enter);
    return contact;
}

// Mirrors the grain's velocity at its radial line: for the moment of the bounce the wall is an
// immovable sphere of the grain's size touching it from outside.
void bounceOffWall(Particle& p) {
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
    // A grain without size has no contact sphere to bounce from: mirror it directly.
    const double outwards = dot(p.pos, p.vel);
    const double r2 = dot(p.pos, p.pos);
    if (outwards > 0.0 && r2 > 0.0)
        for (int c : kAxes) p.vel[c] -= 2.0 * outwards / r2 * p.pos[c];
}

// The grain bounced at `contact` and has `time` of the step left, but its new path meets the wall
// again within it. Inside a sphere every later chord is as long as the first and turns the grain
// by the same angle about the centre, in the plane of the contact and the velocity; so the whole
// chords are counted, not walked: a grain gliding along the wall can bounce thousands of times.
void followChords(Particle& p, const double contact[3], double time, double wallDistance) {
    const double r = std::sqrt(dot(contact, contact));
    if (!(r > 0.0)) return;
    const double radial[] = {contact[0] / r, contact[1] / r, contact[2] / r};
    const double along = dot(p.vel, radial);
    double across[] = {p.vel[0] - along * radial[0], p.vel[1] - along * radial[1],
                       p.vel[2] - along * radial[2]};
    const double side = std::sqrt(dot(across, across));
    for (int c : kAxes) across[c] = side > 0.0 ? across[c] / side : 0.0;
    // Inwards after the bounce, even where rounding left a gliding path a hair outwards.
    const double in = -std::abs(along);
    const double speedSquared = in * in + side * side;

    const double chordTime = -2.0 * wallDistance * in / speedSquared;
    const double chords = std::floor(time / chordTime);
    double turn = 0;  // about the centre, from the contact to the last bounce
    double rest = 0;  // time left after the last bounce
    if (chordTime > 0.0 && std::isfinite(chords)) {
        turn = chords * std::atan2(-2.0 * in * side, side * side - in * in);
        rest = std::clamp(time - chords * chordTime, 0.0, chordTime);
    } else if (speedSquared > 0.0) {
        // Gliding exactly along the wall: ever shorter chords tend to the great circle.
        turn = time * std::sqrt(speedSquared) / wallDistance;
    }
    const double cosTurn = std::cos(turn), sinTurn = std::sin(turn);
    for (int c : kAxes) {
        const double radialThen = radial[c] * cosTurn + across[c] * sinTurn;
        const double acrossThen = across[c] * cosTurn - radial[c] * sinTurn;
        p.vel[c] = in * radialThen + side * acrossThen;
        p.pos[c] = wallDistance * radialThen + rest * p.vel[c];
    }
}

// Rounding can leave a grain on the wall or a hair beyond it; pull it in along its radius.
void pullInside(Particle& p, double wallDistance) {
    for (int bits = 52; bits >= 0 && !(p.distanceFromCentre() < wallDistance); --bits) {
        const double scale = wallDistance / p.distanceFromCentre() * (1.0 - std::ldexp(1.0, -bits));
        for (double& x : p.pos) x *= scale;
    }
}

}  // namespace

void collide(Particle& a, Particle& b) {
    // The line of centres, from a to b, and a's velocity relative to b.
    const double centres[] = {b.pos[0] - a.pos[0], b.pos[1] - a.pos[1], b.pos[2] - a.pos[2]};
    const double w[] = {a.vel[0] - b.vel[0], a.vel[1] - b.vel[1], a.vel[2] - b.vel[2]};
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
    const double eTheta[] = {std::cos(theta) * std::cos(phi), std::cos(theta) * std::sin(phi),
                              -std::sin(theta)};
    const double ePhi[] = {-std::sin(phi), std::cos(phi), 0.0};
    const double n[] = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
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
    for (int c : kAxes)
        normal[c] = n[c] + tanBeta * (std::cos(lambda) * eTheta[c] + std::sin(lambda) * ePhi[c]);

    const double massRatio = aImmovable ? 0.0 : b.m / a.m;
    const double exchange = 2.0 * dot(w, normal) / ((1.0 + tanBeta * tanBeta) * (1.0 + massRatio));
    for (int c : kAxes) {
        b.vel[c] += exchange * normal[c];
        a.vel[c] -= massRatio * exchange * normal[c];
    }
}

double wallRemainder(const Particle& p, double apparatusRadius, double dt) {
    const WallContact contact = wallContact(p, dt, apparatusRadius - p.rad);
    // A grain at rest, or one whose path never meets the wall, has no contact to count from.
    if (!contact.found) return 0.0;
    const bool entering = contact.enter < contact.leave && contact.enter >= 0.0;
    return dt - (entering ? contact.enter : contact.leave);
}

void reflectFromWall(Particle& p, double apparatusRadius, double dt) {
    const double wallDistance = apparatusRadius - p.rad;
    // No room inside for a grain as large as the apparatus; nothing to mirror in a grain that
    // already went to infinity.
    if (!(wallDistance > 0.0) || !isFinite(p)) return;
    if (p.distanceFromCentre() < wallDistance) return;

    const WallContact contact = wallContact(p, dt, wallDistance);
    double leave = contact.leave;
    // Rounding can put the exit of a grain that sits exactly on the wall, moving out, a hair
    // after the end of the step.
    if (contact.found && leave > dt && dot(p.pos, p.vel) > 0.0) leave = dt;

    if (contact.found && leave >= 0.0 && leave <= dt) {
        // It left the sphere during this step: back to the point of contact, bounce, and spend
        // the rest of the step moving inwards.
        const double remainder = dt - leave;
        for (int c : kAxes) p.pos[c] -= p.vel[c] * remainder;
        const double contactPoint[] = {p.pos[0], p.pos[1], p.pos[2]};
        bounceOffWall(p);
        for (int c : kAxes) p.pos[c] += p.vel[c] * remainder;
        if (!(p.distanceFromCentre() < wallDistance))
            followChords(p, contactPoint, remainder, wallDistance);
    } else {
        // Beyond the wall since before this step: the step was shortened, the velocities were
        // scaled up or the wall was switched back on. Its position is mirrored in the wall sphere
        // (inversion, which lands inside however far out it was) and, moving out, its velocity
        // at the wall as in any bounce.
        const double scale = wallDistance / p.distanceFromCentre();
        for (double& x : p.pos) x *= scale * scale;
        if (dot(p.pos, p.vel) > 0.0) bounceOffWall(p);
    }
    pullInside(p, wallDistance);
}

}  // namespace qv

#include "sim/particle.h"

#include "sim/constants.h"

namespace qv {

double Particle::polarAngle() const {
    const double r = distanceFromCentre();
    return r == 0.0 ? 0.0 : std::acos(pos[2] / r);
}

double Particle::distanceTo(const Particle& other) const {
    const double dx = other.pos[0] - pos[0];
    const double dy = other.pos[1] - pos[1];
    const double dz = other.pos[2] - pos[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double Particle::directionTo(const Particle& other, double unit[3]) const {
    const double d = distanceTo(other);
    for (int i : kAxes) unit[i] = (other.pos[i] - pos[i]) / d;
    return d;
}

void Particle::setAzimuth(double phi) {
    // A point on the z axis is its own image under a turn about that axis; sin(pi) is not
    // exactly 0, so do not let rounding push it off the axis.
    if (pos[0] == 0.0 && pos[1] == 0.0) return;
    const double r = distanceFromCentre();
    const double theta = polarAngle();
    pos[0] = r * std::sin(theta) * std::cos(phi);
    pos[1] = r * std::sin(theta) * std::sin(phi);
}

void Particle::setDistanceFromCentre(double d) {
    const double r = distanceFromCentre();
    if (r == 0.0) {
        pos[2] = d;
        return;
    }
    for (double& c : pos) c *= d / r;
}

std::array<double, 3> displayColour(const Particle& p) {
    // A waiting one keeps the colour it was parked or loaded with (normally the dead colour).
    if (p.role == Role::WaitingDead) return {p.rgb[0], p.rgb[1], p.rgb[2]};
    if (p.isDeadParticle()) return {deadColourRed, deadColourGreen, deadColourBlue};
    if (p.highlighted) return {0.0, highlightGreen, 0.0};
    return {p.rgb[0], p.rgb[1], p.rgb[2]};
}

void takeStoredColour(Particle& p, const double colour[3], bool inReserve) {
    const bool dead = colour[0] == static_cast<double>(deadColourRed);
    p.highlighted = colour[0] == 0.0 && colour[1] == highlightGreen && colour[2] == 0.0;
    if (p.highlighted) {
        p.setColour(0, 0, 0);
    } else {
        p.setColour(colour[0], colour[1], colour[2]);
    }
    // Every slot of the reserve holds a waiting dead particle, whatever colour a file gave it.
    p.role = inReserve ? Role::WaitingDead : dead ? Role::FiredDead : Role::Grain;
}

}  // namespace qv

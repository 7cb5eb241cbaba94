#pragma once
// One charged spherical grain: twelve doubles in the order the data set file stores them.
#include <cmath>

namespace qv {

struct Particle {
    double pos[3] = {0, 0, 0};  // Debye lengths, origin at the centre of the apparatus
    double vel[3] = {0, 0, 0};  // Debye lengths per inverse electron plasma frequency
    double rgb[3] = {0, 0, 0};  // drawing colour; red == deadColourRed marks a dead particle
    double m = 0;               // electron masses; above 1e30 an immovable body
    double q = 0;               // elementary charges, negative for grains
    double rad = 0;             // Debye lengths

    double position(int i) const { return pos[i]; }
    void setPosition(int i, double v) { pos[i] = v; }
    double velocity(int i) const { return vel[i]; }
    void setVelocity(int i, double v) { vel[i] = v; }
    double colour(int i) const { return rgb[i]; }
    void setColour(double r, double g, double b) {
        rgb[0] = r;
        rgb[1] = g;
        rgb[2] = b;
    }
    double mass() const { return m; }
    void setMass(double v) { m = v; }
    double charge() const { return q; }
    void setCharge(double v) { q = v; }
    double radius() const { return rad; }
    void setRadius(double v) { rad = v; }

    void reset() { *this = Particle{}; }
    void assign(const Particle& other) { *this = other; }

    double speed() const { return std::sqrt(vel[0] * vel[0] + vel[1] * vel[1] + vel[2] * vel[2]); }
    double distanceFromCentre() const {
        return std::sqrt(pos[0] * pos[0] + pos[1] * pos[1] + pos[2] * pos[2]);
    }
    double polarAngle() const;
    double azimuth() const { return std::atan2(pos[1], pos[0]); }
    double distanceTo(const Particle& other) const;
    // Distance to the other particle; `unit` receives the direction from this one towards it.
    double directionTo(const Particle& other, double unit[3]) const;
    void setAzimuth(double phi);
    void setDistanceFromCentre(double d);
    bool isDeadParticle() const;
};

static_assert(sizeof(Particle) == 12 * sizeof(double), "a Particle is twelve packed doubles");

}  // namespace qv

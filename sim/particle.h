#pragma once
// One charged spherical grain: the twelve values the data set file stores, and what the record is.
#include <array>
#include <cmath>
#include <cstdint>

namespace qv {

// The three axes, x, y and z: `for (int c : kAxes)` visits each once and cannot run past the
// end of a three-component array.
inline constexpr int kAxes[] = {0, 1, 2};

// What a record is. Dead particles wait in the reserve at the end of the array until fired; the
// probe is a dead particle made immovable. Only grains feel the thermostat and the wall.
enum class Role : std::uint8_t { Grain, WaitingDead, FiredDead, Probe };

struct Particle {
    double pos[3] = {0, 0, 0};  // Debye lengths, origin at the centre of the apparatus
    double vel[3] = {0, 0, 0};  // Debye lengths per inverse electron plasma frequency
    double rgb[3] = {0, 0, 0};  // a grain's own colour (its mass group's, or as repainted)
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
    Role role = Role::Grain;
    bool highlighted = false;  // chosen by the neighbour search

    bool isDeadParticle() const { return role != Role::Grain; }
};

// The colour a record is drawn with and stored under in the data set: fired dead particles and
// the probe in the dead colour, a highlighted grain with a green of 4 (out of display range, so
// it shows as full green and marks the grain in the file), any other record in its own colour.
std::array<double, 3> displayColour(const Particle& p);
// The role and highlight a stored colour stands for, for a record in a live slot or in the
// reserve (where every record is a waiting dead particle).
void takeStoredColour(Particle& p, const double colour[3], bool inReserve);

}  // namespace qv

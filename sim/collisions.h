#pragma once
// Hard-sphere collisions between grains and with the apparatus wall.
#include "sim/particle.h"

namespace qv {

// Elastic collision of a with b along the normal at the moment of first contact.
void collide(Particle& a, Particle& b);
// For a grain on or beyond the wall: the part of the last time step after the contact.
double wallRemainder(const Particle& p, double apparatusRadius, double dt);
// Reflects p, moved over the last step of length dt, from the wall of radius apparatusRadius;
// ends strictly inside.
void reflectFromWall(Particle& p, double apparatusRadius, double dt);

}  // namespace qv

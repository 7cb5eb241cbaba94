#pragma once
// Dead particles held in reserve at the end of the particle array, and the probe charge.
#include "sim/simulation.h"

namespace qv {

// Which grains a displacement moves.
enum class Displaced { Highlighted, ShellView };

void fireDeadParticle(Simulation& sim, double speed);
void joinFiredParticle(Simulation& sim);
void resetDeadParticles(Simulation& sim);
void addProbe(Simulation& sim);
// Moves the chosen grains outwards by `fraction` of Rapar. ShellView: the grains with
// shellRadius - shellWidth/2 < r < shellRadius + shellWidth/2.
void displaceParticles(Simulation& sim, Displaced which, double fraction, double shellRadius,
                       double shellWidth);
// The firing scan between pi/2 - pi/xMin and pi/2 + pi/xMax around the +y axis (x != 0).
void setPhiScanAngles(DeadReserve& reserve, double xMax, double xMin);
// A waiting dead particle: everything 0 but the dead role, the park height and the mean radius.
void parkAsDead(const Simulation& sim, Particle& p);

}  // namespace qv

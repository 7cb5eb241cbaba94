#pragma once
// Dead particles held in reserve at the end of the particle array, and the probe charge.

namespace qv {

void fireDeadParticle(double speed);
void joinFiredParticle();
void resetDeadParticles();
void addProbe();
// which = 23: grains highlighted by the neighbour search; 24: grains of the shell view, that
// is with shellRadius - shellWidth/2 < r < shellRadius + shellWidth/2.
void displaceParticles(int which, double shellRadius, double shellWidth);
void askDeadProperty(int entry);
// False when the question was given up for want of input; the angles are as they were then.
bool askPhiScanAngles();

}  // namespace qv

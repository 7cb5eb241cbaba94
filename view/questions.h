#pragma once
// Console questions raised from the window that change the run: each asks, then hands the answer
// to the rule that applies it. A question given up changes nothing.
#include "sim/dead_particles.h"
#include "sim/simulation.h"

namespace qv {

// The target coupling of the firing automation. False when nothing was set.
bool askCcpleTarget(Simulation& sim);

enum class DeadProperty { Mass, Radius, Charge, Speed };
// A property of the dead particles fired next, as a fraction of the grains' mean.
void askDeadProperty(Simulation& sim, DeadProperty property);

// The angles the firing scan sweeps between. False when nothing was set.
bool askPhiScanAngles(Simulation& sim);

// How far, as a fraction of Rapar, the chosen grains are moved outwards.
void askDisplacement(Simulation& sim, Displaced which, double shellRadius, double shellWidth);

// The shell structure and then the pair correlation of every slot, with the numbers of samples
// asked for; while the smart cooling schedule drives the analyses they run quietly instead.
void analyseStructureByHand(Simulation& sim);

}  // namespace qv

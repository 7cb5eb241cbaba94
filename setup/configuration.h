#pragma once
// The initial particle configuration: allocation, mass groups, random thermal cloud or crystal
// lattice, and the parking of the dead particles.
#include "sim/simulation.h"

namespace qv {

void allocateParticles(Simulation& sim, int count);
bool cursorAtEnd(const Simulation& sim);
void setUpMassDistribution(Simulation& sim);
void configureInitialParticles(Simulation& sim);
void assignMassGroup(Simulation& sim, double massStep, int slot);
void buildCrystalLattice(Simulation& sim);
// The mean radius, mass and charge of the grains become the model's, and the console shows them.
void reportAverages(Simulation& sim);

}  // namespace qv

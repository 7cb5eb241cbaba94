#pragma once
// The initial particle configuration: allocation, mass groups, random thermal cloud or crystal
// lattice, and the parking of the dead particles.
#include "sim/simulation.h"

namespace qv {

void allocateParticles(Simulation& sim, int count);
bool cursorAtEnd(const Simulation& sim);
class Config;
// The mass spread of the groups, asked or taken from `config`.
void setUpMassDistribution(Simulation& sim, const Config* config = nullptr);
void configureInitialParticles(Simulation& sim);
void assignMassGroup(Simulation& sim, double massStep, int slot);
void buildCrystalLattice(Simulation& sim);
// The mean radius, mass and charge of the grains become the model's, and the console shows them.
void reportAverages(Simulation& sim);

}  // namespace qv

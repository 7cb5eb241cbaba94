#pragma once
// The initial particle configuration: allocation, mass groups, random thermal cloud or crystal
// lattice, and the parking of the dead particles.

namespace qv {

void allocateParticles(int count);
bool cursorAtEnd();
void setUpMassDistribution();
void configureInitialParticles();
void assignMassGroup(double massStep, int slot);
void buildCrystalLattice();
void reportAverages();

}  // namespace qv

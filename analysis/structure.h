#pragma once
// Structure analyses of the first n records of the particle array.
#include <string>

#include "sim/particle.h"

namespace qv {

void computePairCorrelation(const Particle* particles, int n);
void computeShellStructure(const Particle* particles, int n);
void computeFieldStructure(const Particle* particles, int n);
// One time row of a "2D" time-by-radius file named "2D" + name.
void writeRadialProfile(double time, int n, std::string name, const double* values, int start,
                        double normaliser, double step);

}  // namespace qv
